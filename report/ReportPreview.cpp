#include "report/ReportPreview.h"

#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

namespace lk24 {

void previewReport(const ReportSubject& subject, QWidget* parent, const std::function<int(QDialog&)>& show) {
  QPrinter printer(QPrinter::HighResolution);
  prepareReportPage(printer);
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Bericht drucken"));
  const std::unique_ptr<QTextDocument> document = reportDocument(subject);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                   [&document](QPrinter* target) { printReport(*document, *target); });
  show(dialog);
}

}  // namespace lk24
