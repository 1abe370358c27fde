#include "report/SettingsReport.h"

#include "editor/FieldMap.h"
#include "editor/PageLayout.h"
#include "editor/SettingsInWords.h"
#include "editor/DeviceIdentity.h"
#include "report/ReportLook.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace lk24 {

namespace {

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// The half whose title and identity displays describe the device.
std::string_view halfOf(const Table& image) {
  switch (settingsHalvesOf(image)) {
    case SettingsHalves::Transmitter: return "PSender";
    case SettingsHalves::Receiver: return "Pempfang";
    case SettingsHalves::Both: break;
  }
  return {};
}

QString identity(std::string_view half, IdentityKind kind, const Table& image) {
  for (const IdentityRow& display : identityDisplays()) {
    if (display.container == half && display.kind == kind) {
      return QString::fromStdString(identityText(display, image)).trimmed();
    }
  }
  return QStringLiteral("-");
}

QString titleFacts(const ReportSubject& subject) {
  const std::string_view half = halfOf(subject.image);
  QString type = QStringLiteral("unbekannt (%1)").arg(subject.image[addr::kDeviceType]);
  for (const PageControlRow& control : pageControls()) {
    if (control.half == half) type = QString::fromUtf8(control.title.data(), static_cast<int>(control.title.size()));
  }
  const QList<std::pair<QString, QString>> facts{
      {QStringLiteral("Gerät"), type},
      {QStringLiteral("Seriennummer"), identity(half, IdentityKind::Serial, subject.image)},
      {QStringLiteral("Firmware"), identity(half, IdentityKind::Firmware, subject.image)},
      {QStringLiteral("Konfiguration"), subject.source.isEmpty() ? QStringLiteral("-") : subject.source},
      {QStringLiteral("Erstellt"), subject.madeAt.toString(QStringLiteral("dd.MM.yyyy HH:mm"))},
  };
  QString rows;
  for (const auto& [name, value] : facts) {
    rows += QStringLiteral("<tr><td>%1:</td><td><b>%2</b></td></tr>").arg(name, value.toHtmlEscaped());
  }
  return QStringLiteral("<table cellpadding=\"2\">%1</table>").arg(rows);
}

QString settingsTables(const Table& image) {
  QString body;
  std::string page;
  for (const SettingText& s : describeSettings(image, settingsHalvesOf(image))) {
    if (s.page != page) {
      if (!page.empty()) body += QStringLiteral("</table>");
      page = s.page;
      body += QStringLiteral("<h3>%1</h3><table width=\"100%\" cellpadding=\"2\" cellspacing=\"0\">").arg(html(page));
    }
    body += QStringLiteral("<tr><td width=\"60%\">%1</td><td>%2 %3</td></tr>")
                .arg(html(s.caption), html(s.value), html(s.unit));
  }
  if (!page.empty()) body += QStringLiteral("</table>");
  return body;
}

}  // namespace

std::unique_ptr<QTextDocument> reportDocument(const ReportSubject& subject) {
  auto document = std::make_unique<QTextDocument>();
  document->setDefaultFont(QFont(kReportFace, kReportPointSize));
  document->setHtml(QStringLiteral("<h2>LK24 -config- Einstellungen</h2>") + titleFacts(subject) +
                    settingsTables(subject.image));
  return document;
}

void prepareReportPage(QPagedPaintDevice& device) {
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 15, 15, 10),
                                   QPageLayout::Millimeter));
}

void printReport(QTextDocument& document, QPagedPaintDevice& device) {
  const int dpi = device.logicalDpiY();
  const QRect area = device.pageLayout().paintRectPixels(dpi);
  const double footer = kReportFooterMm / 25.4 * dpi;
  const QSizeF body(area.width(), area.height() - footer);
  document.documentLayout()->setPaintDevice(&device);
  document.setPageSize(body);
  const int pageCount = document.pageCount();

  QPainter painter(&device);
  painter.setFont(QFont(kReportFace, kReportFooterPointSize));
  for (int page = 0; page < pageCount; ++page) {
    if (page > 0) device.newPage();
    painter.save();
    painter.translate(0, -page * body.height());
    document.drawContents(&painter, QRectF(QPointF(0, page * body.height()), body));
    painter.restore();
    painter.drawText(QRectF(0, body.height(), body.width(), footer), Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("Seite %1 von %2").arg(page + 1).arg(pageCount));
  }
}

bool writeReportPdf(const ReportSubject& subject, const QString& path, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = QStringLiteral("Bericht \"%1\" lässt sich nicht schreiben: %2").arg(path, file.errorString());
    return false;
  }
  {
    QPdfWriter writer(&file);
    writer.setResolution(300);
    writer.setTitle(QStringLiteral("LK24 -config- Einstellungen"));
    writer.setCreator(QStringLiteral("LK24 -config-"));
    prepareReportPage(writer);
    const std::unique_ptr<QTextDocument> document = reportDocument(subject);
    printReport(*document, writer);
  }
  if (file.error() != QFileDevice::NoError || !file.commit()) {
    *error = QStringLiteral("Bericht \"%1\" lässt sich nicht schreiben: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace lk24
