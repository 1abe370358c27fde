#include "editor/PageLayout.h"

#include <array>

namespace lk24 {

namespace {

constexpr CaptionRole kPlain = CaptionRole::Plain;
constexpr CaptionRole kHeading = CaptionRole::Heading;
constexpr CaptionRole kDerived = CaptionRole::Derived;
constexpr std::string_view kOnOffColumns = "an:               aus:";

const std::array kPageControls = {
    PageControlSpec{"PageControl1", "PSender", "SENDER"},
    PageControlSpec{"PageControl2", "Pempfang", "EMPFÄNGER"},
};

const std::array kPages = {
    PageSpec{"TabSheet2", "PageControl1", "  Grundeinstellung  ", "Grundeinstellungen für den Sender", ""},
    PageSpec{"TSwerkSender", "PageControl1", "Werkseinstellung", "", "PTwerk"},
    PageSpec{"TabSheet3", "PageControl2", "Grundeinstellung", "Grundeinstellungen für den Empfänger", ""},
    PageSpec{"TabSheet5", "PageControl2", "Erweitert", "", ""},
    PageSpec{"TabSheet1", "PageControl2", "Werkseinst.", "", "PRwerk"},
};

const std::array kPanels = {
    PanelSpec{"PIntervall", "TabSheet2", 4, 36, 243, 28, "", "Panel31"},
    PanelSpec{"InfoBatt", "TabSheet2", 4, 150, 243, 74, "", ""},
    PanelSpec{"PanelDistance1", "TabSheet3", 4, 78, 243, 56, "", "Panel15"},
    PanelSpec{"PanelDistance2", "TabSheet3", 4, 136, 243, 24, "", "Panel16"},
    PanelSpec{"PanelDistance3", "TabSheet3", 4, 162, 243, 66, "", "Panel22"},
    PanelSpec{"PanelNotruf1", "TabSheet3", 4, 256, 243, 26, "", "Panel23"},
    PanelSpec{"PRelaiszustand", "TabSheet3", 4, 288, 243, 68,
              "gibt den Relais-Sollzustand im Alarmfall an (während der Betriebsbereitschaft ist dieser Zustand "
              "dann invertiert) ",
              ""},
};

const std::array kCaptions = {
    // Transmitter, "  Grundeinstellung  "
    CaptionSpec{"LTmin", "PIntervall", "(= 1 min)", 164, 4, kDerived, "(= 0 min)"},
    CaptionSpec{"", "TabSheet2", "Intervall-Sendung:", 6, 70, kPlain, ""},
    CaptionSpec{"", "TabSheet2", "Notruf-Taster:", 6, 94, kPlain, ""},
    CaptionSpec{"", "InfoBatt", "Abschätzung der Batterielebensdauer", 2, 2, kHeading, ""},
    // Transmitter, "Werkseinstellung"
    CaptionSpec{"", "TSwerkSender", "Frequenz (MHz):", 6, 30, kPlain, ""},
    CaptionSpec{"", "TSwerkSender", "PRESET-DATA:", 6, 314, kPlain, ""},
    CaptionSpec{"", "TSwerkSender", "nur diese!", 6, 338, kPlain, ""},
    // Receiver, "Grundeinstellung"
    CaptionSpec{"LMinuten", "TabSheet3", "(= 1 min)", 168, 30, kDerived, ""},
    CaptionSpec{"", "TabSheet3", "Entfernungsalarm:", 6, 56, kPlain, ""},
    CaptionSpec{"", "PanelDistance1", "mit Alarmton:", 2, 4, kPlain, ""},
    CaptionSpec{"", "PanelDistance1", "selbstrückstellend\nbei Annäherung:", 2, 30, kPlain, ""},
    CaptionSpec{"", "PanelDistance3", "Feineinstellung Entfernung", 2, 2, kPlain, ""},
    CaptionSpec{"Lfestschwelle", "PanelDistance3", "(1..10)", 157, 42, kPlain, ""},
    CaptionSpec{"", "TabSheet3", "Notrufalarm:", 6, 234, kPlain, ""},
    CaptionSpec{"", "PanelNotruf1", "mit Alarmton:", 2, 2, kPlain, ""},
    CaptionSpec{"", "PRelaiszustand", "Relaiszustand bei Alarm", 2, 2, kHeading, ""},
    // Receiver, "Erweitert"
    CaptionSpec{"", "TabSheet5", "(freq=c/periode)", 143, 2, kPlain, ""},
    CaptionSpec{"Lfreq", "TabSheet5", "", 143, 18, kDerived, ""},
    CaptionSpec{"", "TabSheet5", "zykl. Lichtsignal:", 6, 42, kHeading, ""},
    CaptionSpec{"", "TabSheet5", kOnOffColumns, 100, 42, kPlain, ""},
    CaptionSpec{"", "TabSheet5", "zykl. Alarmton:", 6, 146, kHeading, ""},
    CaptionSpec{"", "TabSheet5", kOnOffColumns, 100, 146, kPlain, ""},
    CaptionSpec{"", "TabSheet5", "mit Reset-Ton:", 6, 248, kPlain, ""},
    CaptionSpec{"", "TabSheet5", "inkl. AlarmTonTest:", 6, 298, kPlain, ""},
    CaptionSpec{"", "TabSheet5", "inkl. RelaisTest:", 6, 322, kPlain, ""},
    // Receiver, "Werkseinst."
    CaptionSpec{"", "TabSheet1", "Frequenz (MHz):", 6, 30, kPlain, ""},
    CaptionSpec{"", "TabSheet1", "Nah-\nRSSI:", 6, 166, kPlain, ""},
    CaptionSpec{"", "TabSheet1", "Fern-\nRSSI:", 6, 222, kPlain, ""},
    CaptionSpec{"", "TabSheet1", "Freigabe zum Überschreiben:\n(gültig für Sender und Empfänger!)", 6, 272, kPlain,
                ""},
};

}  // namespace

std::span<const PageControlSpec> pageControls() { return kPageControls; }
std::span<const PageSpec> pages() { return kPages; }
std::span<const PanelSpec> panels() { return kPanels; }
std::span<const CaptionSpec> captions() { return kCaptions; }

}  // namespace lk24
