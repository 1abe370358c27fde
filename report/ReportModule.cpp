// The report module: lk24ctl's way to the report, which needs Qt to lay the
// text out. Only the entry point leaves the module; Qt and the code under it
// stay inside.
#include "report/ReportModuleEntry.h"
#include "report/SettingsReport.h"

#include <QByteArray>
#include <QDateTime>
#include <QGuiApplication>

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#define LK24_REPORT_EXPORT __declspec(dllexport)
#else
#define LK24_REPORT_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Copies text into error, cut at a whole UTF-8 character so that a long
// path never leaves half a letter behind.
void copyReason(const QByteArray& text, char* error, size_t errorSize) {
  if (error == nullptr || errorSize == 0) return;
  size_t length = std::min(static_cast<size_t>(text.size()), errorSize - 1);
  while (length > 0 && length < static_cast<size_t>(text.size()) &&
         (static_cast<unsigned char>(text[static_cast<qsizetype>(length)]) & 0xC0) == 0x80) {
    --length;
  }
  std::memcpy(error, text.constData(), length);
  error[length] = '\0';
}

}  // namespace

extern "C" LK24_REPORT_EXPORT int lk24_report_write_pdf(unsigned version, const unsigned char* image,
                                                       size_t imageSize, const char* source, const char* path,
                                                       char* error, size_t errorSize) {
  if (version != LK24_REPORT_MODULE_VERSION) {
    copyReason(QByteArray("das Modul spricht Version ") + QByteArray::number(LK24_REPORT_MODULE_VERSION) +
                   ", lk24ctl Version " + QByteArray::number(version),
               error, errorSize);
    return kLk24ReportOtherVersion;
  }
  lk24::Table table{};
  if (image == nullptr || imageSize != table.size() || path == nullptr) {
    copyReason("Bericht: kein Abbild mit 256 Bytes oder kein Dateiname", error, errorSize);
    return kLk24ReportNotWritten;
  }
  std::copy(image, image + imageSize, table.begin());

  // Fonts need an application object. On Linux offscreen, so no display is
  // asked for; Windows' own platform needs none and brings the system's
  // fonts, which Qt's offscreen platform does not find there.
#ifdef _WIN32
  qputenv("QT_QPA_PLATFORM", "windows");
#else
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  int argc = 1;
  char name[] = "lk24ctl";
  char* argv[] = {name, nullptr};
  const QGuiApplication app(argc, argv);
  QString failure;
  const bool written = lk24::writeReportPdf(
      {table, QString::fromUtf8(source ? source : ""), QDateTime::currentDateTime()}, QString::fromUtf8(path),
      &failure);
  if (!written) copyReason(failure.toUtf8(), error, errorSize);
  return written ? kLk24ReportWritten : kLk24ReportNotWritten;
}
