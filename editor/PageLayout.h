#pragma once
// The frame of the two settings halves: their page controls and pages, the
// panels that group fields (and the greyed copies standing in for them while
// hidden), and the captions that belong to no single field.

#include <span>
#include <string_view>

namespace lk24 {

struct PageControlRow {
  std::string_view name;
  std::string_view half;  // "PSender" or "Pempfang"
  std::string_view title;  // the half's heading
};

struct PageRow {
  std::string_view name;
  std::string_view pageControl;
  std::string_view caption;  // tab caption, blanks included
  std::string_view hint;
  std::string_view cover;    // panel hiding a factory page, or empty
};

struct PanelRow {
  std::string_view name;
  std::string_view container;
  int x, y, width, height;
  std::string_view hint;
  std::string_view placeholder;  // greyed copy beneath it, or empty
};

enum class CaptionRole {
  Plain,    // fixed text
  Heading,  // fixed text, bold
  Derived,  // named; the refresh rewrites it
};

struct CaptionRow {
  std::string_view name;  // empty for plain captions
  std::string_view container;
  std::string_view text;  // "\n" splits two lines; derived captions: the text before the first refresh
  int x, y;
  CaptionRole role;
  std::string_view placeholderText;  // what a greyed copy shows instead, if it differs
};

inline constexpr std::string_view kCoverText = "- kein Zugriff -";
inline constexpr std::string_view kReadOnlyText = "read only!";

std::span<const PageControlRow> pageControls();
std::span<const PageRow> pages();
std::span<const PanelRow> panels();
std::span<const CaptionRow> captions();

}  // namespace lk24
