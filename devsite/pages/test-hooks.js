// Test hook of the stand-in's pages: the stand-in hands a page scripts to run, as if its user had done
// something; each ask waits at the stand-in until there is one. Without its test hooks it answers 404: the
// page stops asking.
function askForTestScripts(view) {
  (function ask() {
    fetch('/_test/command?view=' + view).then(function (r) {
      return r.status === 404 ? null : r.status === 200 ? r.text() : '';
    }).then(function (js) {
      if (js === null) return;
      try { if (js) (0, eval)(js); } catch (e) {}
      ask();
    }, function () { setTimeout(ask, 1000); });
  })();
}
