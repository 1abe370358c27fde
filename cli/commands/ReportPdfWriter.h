#pragma once
// The report command's PDF, the one part of lk24ctl that needs Qt (its print
// module lays the text out). Built into the lk24ctl program only, beside
// report/; the rest of the command line never makes a Qt object.

namespace lk24::cli {

// Hands report its writer, which makes the application object that fonts
// need (offscreen: no window is ever shown) only when a report is written.
void installReportPdfWriter();

}  // namespace lk24::cli
