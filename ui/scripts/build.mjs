// Builds the interface bundle: one minified classic script that the desktop host's page loads.
//
//   npm run build                          -> dist/index.windows.bundle
//   npm run build -- --outfile PATH        -> PATH (relative to where npm was started)
//   VARNEL_UI_BUNDLE=PATH npm run build    -> PATH, when --outfile is not given
//   npm run build:test-host                -> the bundle and dist/fake_host.js for test-host/index.html
import { build } from "esbuild";
import { mkdir, readFile, rename, rm, writeFile } from "node:fs/promises";
import path from "node:path";
import { fileURLToPath } from "node:url";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..");
const started = performance.now();

function option(name) {
  const args = process.argv.slice(2);
  const at = args.indexOf(name);
  if (at >= 0) {
    const value = args[at + 1];
    if (value === undefined || value.startsWith("--")) throw new Error(`${name} needs a path`);
    return value;
  }
  const inline = args.find((arg) => arg.startsWith(`${name}=`));
  return inline?.slice(name.length + 1);
}

// npm runs scripts from the package folder; a relative path means the folder npm was started in.
const invokedFrom = process.env.INIT_CWD ?? process.cwd();
const requested = option("--outfile") ?? process.env.VARNEL_UI_BUNDLE;
const outfile = requested ? path.resolve(invokedFrom, requested) : path.join(root, "dist", "index.windows.bundle");
const withTestHost = process.argv.includes("--test-host");
const { version } = JSON.parse(await readFile(path.join(root, "package.json"), "utf8"));

// The application imports "react-native"; here that is react-native-web with our host modules.
const reactNativeShim = {
  name: "react-native-shim",
  setup(b) {
    b.onResolve({ filter: /^react-native$/ }, () => ({ path: path.join(root, "src", "shim", "react-native.ts") }));
  },
};

async function bundle(entry, target) {
  const result = await build({
    entryPoints: [path.join(root, entry)],
    bundle: true,
    minify: true,
    format: "iife",
    platform: "browser",
    target: ["es2020"],
    jsx: "automatic",
    plugins: [reactNativeShim],
    define: {
      "process.env.NODE_ENV": '"production"',
      __VARNEL_UI_VERSION__: JSON.stringify(version),
    },
    logLevel: "warning",
    write: false,
  });
  const output = result.outputFiles[0];
  if (output === undefined) throw new Error(`esbuild wrote nothing for ${entry}`);
  // Written beside the target and renamed over it, so the host never loads half a bundle.
  await mkdir(path.dirname(target), { recursive: true });
  const temporary = `${target}.${process.pid}.tmp`;
  try {
    await writeFile(temporary, output.contents);
    await rename(temporary, target);
  } catch (error) {
    await rm(temporary, { force: true });
    throw error;
  }
  return output.contents.length;
}

const size = await bundle("src/index.ts", outfile);
if (withTestHost) await bundle("test-host/fake_host.ts", path.join(path.dirname(outfile), "fake_host.js"));
const seconds = ((performance.now() - started) / 1000).toFixed(2);
const shown = path.relative(invokedFrom, outfile);
console.log(`${shown.startsWith("..") ? outfile : shown}: ${size} bytes in ${seconds} s`);
