// A report module of another version: it answers every call as one that
// speaks another form of the entry point.
#include "report/ReportModuleEntry.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) int lk24_report_write_pdf(unsigned, const unsigned char*, size_t,
                                                                            const char*, const char*, char* error,
                                                                            size_t errorSize) {
  const char reason[] = "das Modul spricht Version 99";
  if (error != nullptr && errorSize > sizeof reason) std::memcpy(error, reason, sizeof reason);
  return kLk24ReportOtherVersion;
}
