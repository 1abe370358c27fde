#pragma once
// The report's face and sizes. The report is laid out in the face the
// window's places were made for: Arial where the system has it (Windows),
// Liberation Sans, with Arial's widths, on Linux (Debian's fonts-liberation2).
// Kept here rather than taken from the window, so that the report builds and
// loads without anything of the window.

#include <QString>

namespace lk24 {

#ifdef _WIN32
inline const QString kReportFace = QStringLiteral("Arial");
#else
inline const QString kReportFace = QStringLiteral("Liberation Sans");
#endif

constexpr int kReportPointSize = 10;        // the body, the title and the tables
constexpr int kReportFooterPointSize = 9;   // "Seite N von M"
constexpr double kReportFooterMm = 10.0;    // the footer's band at the foot of each page

}  // namespace lk24
