#pragma once
// Builds the controls of both settings halves from the editor's page, panel,
// caption, field and switch tables, and connects each one straight to the
// view's handler for its kind, with its row. Main thread only.

#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;
class QWidget;

namespace lk24 {

struct FieldRow;
class SettingsEdit;
class ClickableLabel;
class SettingsView;

// What the builder made, for the view to find its controls again.
struct SettingsControls {
  std::map<std::string, QWidget*, std::less<>> named;  // live controls, panels and pages by name
  std::map<QLineEdit*, const FieldRow*> fieldOf;
  std::vector<QPointer<SettingsEdit>> edits;  // unhooked when the view goes
  std::vector<QPointer<ClickableLabel>> clickables;

  QWidget* widget(std::string_view name) const;
};

// pSender / pEmpfang: the two empty halves, hints set. Their controls call
// view's handlers from then on.
void BuildSettingsPages(QWidget* pSender, QWidget* pEmpfang, SettingsView& view, SettingsControls& controls);

// The controls of a page that Tab can reach, in reading order: by rows from
// the top, and within a row from the left.
std::vector<QWidget*> readingOrder(QWidget* page);

inline QString tableText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace lk24
