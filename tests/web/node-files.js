// Run before a test program under node: the folder it is started from (the project root)
// is mounted at its own path and made the working directory, so the tests read the
// project's files by the same paths as on the desktop. Everything else (standard streams,
// the scratch folder) stays in emscripten's memory file system, where redirecting a
// stream, as GoogleTest's output capture does, works.
Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  var root = process.cwd();
  FS.mkdirTree(root);
  FS.mount(NODEFS, { root: root }, root);
  FS.chdir(root);
});
