#include "editor/PageLayout.h"

#include <array>

namespace lk24 {

namespace {

constexpr CaptionRole kPlain = CaptionRole::Plain;
constexpr CaptionRole kHeading = CaptionRole::Heading;
constexpr CaptionRole kDerived = CaptionRole::Derived;
constexpr std::string_view kOnOffColumns = "an:               aus:";

const std::array kPageControls = {
    PageControlRow{"PageControl1", "PSender", "SENDER"},
    PageControlRow{"PageControl2", "Pempfang", "EMPFÄNGER"},
};

const std::array kPages = {
    PageRow{"TabSheet2", "PageControl1", "  Grundeinstellung  ", "Grundeinstellungen für den Sender", ""},
    PageRow{"TSwerkSender", "PageControl1", "Werkseinstellung", "", "PTwerk"},
    PageRow{"TabSheet3", "PageControl2", "Grundeinstellung", "Grundeinstellungen für den Empfänger", ""},
    PageRow{"TabSheet5", "PageControl2", "Erweitert", "", ""},
    PageRow{"TabSheet1", "PageControl2", "Werkseinst.", "", "PRwerk"},
};

const std::array kPanels = {
    PanelRow{"PIntervall", "TabSheet2", 4, 36, 243, 28, "", "Panel31"},
    PanelRow{"InfoBatt", "TabSheet2", 4, 150, 243, 74, "", ""},
    PanelRow{"PanelDistance1", "TabSheet3", 4, 78, 243, 56, "", "Panel15"},
    PanelRow{"PanelDistance2", "TabSheet3", 4, 136, 243, 24, "", "Panel16"},
    PanelRow{"PanelDistance3", "TabSheet3", 4, 162, 243, 66, "", "Panel22"},
    PanelRow{"PanelNotruf1", "TabSheet3", 4, 256, 243, 26, "", "Panel23"},
    PanelRow{"PRelaiszustand", "TabSheet3", 4, 288, 243, 72,
              "gibt den Relais-Sollzustand im Alarmfall an (während der Betriebsbereitschaft ist dieser Zustand "
              "dann invertiert) ",
              ""},
};

const std::array kCaptions = {
    // Transmitter, "  Grundeinstellung  "
    CaptionRow{"LTmin", "PIntervall", "(= 1 min)", 164, 4, kDerived, "(= 0 min)"},
    CaptionRow{"", "TabSheet2", "Intervall-Sendung:", 6, 70, kPlain, ""},
    CaptionRow{"", "TabSheet2", "Notruf-Taster:", 6, 94, kPlain, ""},
    CaptionRow{"", "InfoBatt", "Abschätzung der Batterielebensdauer", 2, 2, kHeading, ""},
    // Transmitter, "Werkseinstellung"
    CaptionRow{"", "TSwerkSender", "Frequenz (MHz):", 6, 30, kPlain, ""},
    CaptionRow{"", "TSwerkSender", "PRESET-DATA:", 6, 338, kPlain, ""},
    CaptionRow{"", "TSwerkSender", "nur diese!", 6, 364, kPlain, ""},
    // Receiver, "Grundeinstellung"
    CaptionRow{"LMinuten", "TabSheet3", "(= 1 min)", 168, 30, kDerived, ""},
    CaptionRow{"", "TabSheet3", "Entfernungsalarm:", 6, 56, kPlain, ""},
    CaptionRow{"", "PanelDistance1", "mit Alarmton:", 2, 4, kPlain, ""},
    CaptionRow{"", "PanelDistance1", "selbstrückstellend\nbei Annäherung:", 2, 30, kPlain, ""},
    CaptionRow{"", "PanelDistance3", "Feineinstellung Entfernung", 2, 0, kPlain, ""},
    CaptionRow{"Lfestschwelle", "PanelDistance3", "(1..10)", 157, 42, kPlain, ""},
    CaptionRow{"", "TabSheet3", "Notrufalarm:", 6, 234, kPlain, ""},
    CaptionRow{"", "PanelNotruf1", "mit Alarmton:", 2, 2, kPlain, ""},
    CaptionRow{"", "PRelaiszustand", "Relaiszustand bei Alarm", 2, 0, kHeading, ""},
    // Receiver, "Erweitert"
    CaptionRow{"", "TabSheet5", "(freq=c/periode)", 143, 2, kPlain, ""},
    CaptionRow{"Lfreq", "TabSheet5", "", 143, 20, kDerived, ""},
    CaptionRow{"", "TabSheet5", "zykl. Lichtsignal:", 6, 46, kHeading, ""},
    CaptionRow{"", "TabSheet5", kOnOffColumns, 100, 46, kPlain, ""},
    CaptionRow{"", "TabSheet5", "zykl. Alarmton:", 6, 162, kHeading, ""},
    CaptionRow{"", "TabSheet5", kOnOffColumns, 100, 162, kPlain, ""},
    CaptionRow{"", "TabSheet5", "mit Reset-Ton:", 6, 276, kPlain, ""},
    CaptionRow{"", "TabSheet5", "inkl. AlarmTonTest:", 6, 328, kPlain, ""},
    CaptionRow{"", "TabSheet5", "inkl. RelaisTest:", 6, 354, kPlain, ""},
    // Receiver, "Werkseinst."
    CaptionRow{"", "TabSheet1", "Frequenz (MHz):", 6, 30, kPlain, ""},
    CaptionRow{"", "TabSheet1", "Nah-\nRSSI:", 6, 166, kPlain, ""},
    CaptionRow{"", "TabSheet1", "Fern-\nRSSI:", 6, 222, kPlain, ""},
    CaptionRow{"", "TabSheet1", "Freigabe zum Überschreiben:\n(gültig für Sender und Empfänger!)", 6, 272, kPlain,
                ""},
};

}  // namespace

std::span<const PageControlRow> pageControls() { return kPageControls; }
std::span<const PageRow> pages() { return kPages; }
std::span<const PanelRow> panels() { return kPanels; }
std::span<const CaptionRow> captions() { return kCaptions; }

}  // namespace lk24
