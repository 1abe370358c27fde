#pragma once
// Where every settings field of both device halves lives in the image and
// on its page. The window builds its pages from these rows and the refresh
// walks them, so a field is one row here.

#include "model/ConfigImage.h"

#include <span>
#include <string>
#include <string_view>

namespace lk24 {

enum class FieldKind {
  Word,       // two bytes, high byte first, 0..65535
  Byte,       // one byte, 0..255
  TableByte,  // one byte of a table, shown as three zero-filled digits
  Capacity,   // battery capacity in mAh; lives only in the field's text
  Days,       // battery-life estimate; a display that stores nothing
};

// Identity fields show the device's own serial number and are rewritten only
// while such a device has been recognised by the last read.
enum class FieldRefresh { Always, WhileTransmitterDetected, WhileReceiverDetected };

struct FieldRow {
  std::string_view control;
  std::string_view container;  // page or panel that holds it
  int address;                 // first image byte; -1 for fields outside the image
  FieldKind kind;
  int width;                   // minimum number of characters shown
  char fill;                   // padding to that width
  int maxLength;               // characters the user may type
  std::string_view captionBefore;  // "\n" splits a two-line caption
  std::string_view captionAfter;
  std::string_view hint;       // empty: the enclosing panel's hint applies
  bool displayOnly;            // shown greyed, never edited
  FieldRefresh refresh;
  int captionX;                // left edge of captionBefore in the container
  int x;
  int y;
};

// Identity displays in the header of each half: never edited, rewritten only
// while their device is recognised, " ??? " otherwise.
enum class IdentityKind { Firmware, Serial };
struct IdentityRow {
  std::string_view control;
  std::string_view container;  // the half's panel
  IdentityKind kind;
  int address;                 // firmware: major, minor; serial: high, low
  std::string_view caption;
  int y;
};

std::span<const FieldRow> transmitterFields();
std::span<const FieldRow> receiverFields();
std::span<const FieldRow> allFields();
std::span<const IdentityRow> identityDisplays();
const FieldRow* findField(std::string_view control);

// Upper bound of a typed value of the field's kind.
int fieldMaximum(FieldKind kind);

// The field's value as the refresh shows it (image fields only).
std::string fieldText(const FieldRow& field, const Table& image);

// Takes typed text into the image: invalid text stores 0, other values are
// clamped to the kind's range; word fields store high byte first.
void storeFieldText(const FieldRow& field, std::string_view text, Table& image);

// The text of an identity display for the image.
std::string identityText(const IdentityRow& display, const Table& image);
// What the display shows: the image's value while its half's device is
// recognised, " ??? " otherwise.
std::string identityDisplayText(const IdentityRow& display, const Table& image, bool detected);
// The firmware display of a half ("PSender" or "Pempfang") as the files'
// firmware lines carry it.
std::string firmwareDisplayText(std::string_view half, const Table& image, bool detected);

}  // namespace lk24
