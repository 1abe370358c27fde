#pragma once
// The report module's one entry point: lk24ctl loads the module at run time
// (dlopen, LoadLibraryW) for its report command alone, so that the program
// links no Qt library and every other command starts without one. Plain C,
// so that nothing of C++'s name mangling or library versions is shared
// across the boundary; the version says which form of the call both sides
// speak.

#include <stddef.h>

extern "C" {

// Raised whenever the call's form or meaning changes.
#define LK24_REPORT_MODULE_VERSION 1u
#define LK24_REPORT_ENTRY_NAME "lk24_report_write_pdf"

enum Lk24ReportResult {
  kLk24ReportWritten = 0,
  kLk24ReportNotWritten = 1,    // error holds the reason, in German
  kLk24ReportOtherVersion = 2,  // the caller speaks another version; nothing was done
};

// Writes the report of the 256-byte image, read from the file or port named
// source (UTF-8, may be empty), as a PDF at path (UTF-8), in place of any
// file there only once it is complete. On failure error receives the
// reason as UTF-8, cut to errorSize bytes with its terminating zero. Main
// thread; the module makes its own offscreen application object.
typedef int (*Lk24ReportWritePdf)(unsigned version, const unsigned char* image, size_t imageSize, const char* source,
                                  const char* path, char* error, size_t errorSize);

}  // extern "C"
