// The desktop application's open-file dialog: GTK's native chooser (the desktop portal's dialog where
// there is one), made and answered on the window thread while the picker's worker waits.

#include <gtk/gtk.h>

#include <future>

#include "platform/desktop_window.h"

namespace varnel::platform {

namespace {

using Choice = std::optional<PathText>;

// Lives from the post to the dialog's answer; owns the chooser meanwhile.
struct DialogJob {
    OpenFileRequest request;
    std::promise<Choice> answer;
    GtkFileChooserNative* chooser = nullptr;
};

void onResponse(GtkNativeDialog*, gint response, gpointer data) {
    std::unique_ptr<DialogJob> job(static_cast<DialogJob*>(data));
    Choice choice;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(job->chooser))) {
            choice = PathText(path);
            g_free(path);
        }
    }
    g_object_unref(job->chooser);
    job->answer.set_value(std::move(choice));
}

gboolean openDialog(gpointer data) {
    auto* job = static_cast<DialogJob*>(data);
    job->chooser = gtk_file_chooser_native_new(job->request.title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(job->chooser);
    for (const FileFilter& filter : job->request.filters) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, filter.label.c_str());
        // "*.*" means every file on Windows; here names without a full stop would be left out.
        gtk_file_filter_add_pattern(gtkFilter, filter.pattern == "*.*" ? "*" : filter.pattern.c_str());
        gtk_file_chooser_add_filter(chooser, gtkFilter);  // the first one added is the one selected
    }
    if (!job->request.initialDirectory.empty()) gtk_file_chooser_set_current_folder(chooser, job->request.initialDirectory.c_str());
    g_signal_connect(job->chooser, "response", G_CALLBACK(onResponse), job);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(job->chooser));
    return G_SOURCE_REMOVE;
}

class GtkFileDialog final : public FileDialog {
public:
    std::optional<PathText> chooseFileToOpen(const OpenFileRequest& request) override {
        auto job = std::make_unique<DialogJob>();
        job->request = request;
        std::future<Choice> answer = job->answer.get_future();
        // GTK belongs to the window thread, whose loop runs the default main context.
        g_main_context_invoke(nullptr, openDialog, job.release());
        return answer.get();
    }
};

}  // namespace

std::shared_ptr<FileDialog> desktopFileDialog() { return std::make_shared<GtkFileDialog>(); }

}  // namespace varnel::platform
