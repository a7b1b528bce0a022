#include "platform/service/nftables.h"

#include <nftables/libnftables.h>

#include <memory>

namespace varnel::platform {

NftResult runNftScript(const std::string& script) {
    NftResult result;
    // A fresh context each time: its cache then always matches what is in the kernel now, also
    // after someone else changed the ruleset.
    const std::unique_ptr<nft_ctx, void (*)(nft_ctx*)> context(nft_ctx_new(NFT_CTX_DEFAULT), nft_ctx_free);
    if (!context) {
        result.error = "could not make an nftables context";
        return result;
    }
    nft_ctx_buffer_output(context.get());
    nft_ctx_buffer_error(context.get());
    result.ok = nft_run_cmd_from_buffer(context.get(), script.c_str()) == 0;
    if (const char* output = nft_ctx_get_output_buffer(context.get())) result.output = output;
    if (const char* error = nft_ctx_get_error_buffer(context.get())) result.error = error;
    return result;
}

}  // namespace varnel::platform
