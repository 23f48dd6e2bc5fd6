#pragma once

// The cases of korvix_bench_versus that drive Korvix with real input under
// X: windows woken from sleep through the tab strip, and how soon the frame
// answers a person while hundreds of pages load.

namespace bench {

class ReportServer;
class XSession;

// After `windows` maximized windows over `sites` have loaded and gone to
// sleep, twenty of them are clicked to the front one after another; from
// each click to the page's load report and to its first paint, against a
// new page typed into the running program's address box.
void wakingCase(ReportServer& server, const XSession* x, int windows, int sites);

// While the same windows load: tab clicks, typing in the address box and
// a menu opened, each from the input event to the frame's next paint.
void responsivenessCase(ReportServer& server, const XSession* x, int windows, int sites);

} // namespace bench
