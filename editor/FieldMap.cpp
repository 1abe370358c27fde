#include "editor/FieldMap.h"

#include "editor/NumberCodecs.h"
#include "editor/DerivedTexts.h"
#include "model/TemplateFormat.h"

#include <array>
#include <vector>

namespace lk24 {

namespace {

constexpr FieldRefresh kAlways = FieldRefresh::Always;

// Shorthands for the common row shapes.
constexpr FieldRow word(std::string_view control, std::string_view container, int address,
                         std::string_view before, std::string_view after, std::string_view hint, int captionX,
                         int x, int y) {
  return {control, container, address, FieldKind::Word, 5, ' ', 5, before, after, hint, false, kAlways,
          captionX, x, y};
}

constexpr FieldRow byte(std::string_view control, std::string_view container, int address,
                         std::string_view before, std::string_view after, std::string_view hint, int captionX,
                         int x, int y) {
  return {control, container, address, FieldKind::Byte, 5, ' ', 5, before, after, hint, false, kAlways,
          captionX, x, y};
}

constexpr FieldRow tableByte(std::string_view control, std::string_view container, int address,
                              std::string_view number, std::string_view hint, int x, int y) {
  // The number stands just left of its field, one digit or two.
  return {control, container, address, FieldKind::TableByte, 3, '0', 3, number, "", hint, false, kAlways,
          x - 3 - 6 * static_cast<int>(number.size()), x, y};
}

constexpr FieldRow display(std::string_view control, std::string_view container, int address,
                            std::string_view before, std::string_view after, std::string_view hint, int x, int y) {
  return {control, container, address, FieldKind::Word, 5, ' ', 5, before, after, hint, true, kAlways, 6, x, y};
}

constexpr std::string_view kPauseHint = "Pause zwischen 2 Strings";
constexpr std::string_view kEmergencyPauseHint = "Pause zwischen 2 Strings beim Notruf (Sonderfall !)";
constexpr std::string_view kNearHint = "Vergleichswerte für RSSI-Messwert im Nahbereich";
constexpr std::string_view kFarHint = "Vergleichswerte für RSSI-Messwert im Fernbereich";

const std::array kTransmitterFields = {
    // Page "  Grundeinstellung  "
    word("T_ID", "TabSheet2", 86, "Sender-ID:", "",
         "weist dem Sender seine individuelle Identifikation zu (0..65535)", 6, 100, 10),
    word("Meldeintervall", "PIntervall", 88, "Sende-Intervall:", "sec",
         "automatisches zyklisches Sendeintervall (0..65535)", 2, 96, 4),
    byte("T_LedHell", "TabSheet2", 90, "LED Helligkeit:", "(0..10)",
         "Helligkeitseinstellung der LEDs (0 min, 10 max)", 6, 100, 122),
    FieldRow{"Kapazitaet", "InfoBatt", -1, FieldKind::Capacity, 4, '0', 4, "Batteriekapazität:", "mAh",
              "Batteriekapazität (Aufdruck auf Batterie oder Datenblatt von Hersteller)", false, kAlways, 2, 120,
              24},
    FieldRow{"Tage", "InfoBatt", -1, FieldKind::Days, 4, ' ', 4, "mit o.g. Einstellungen:", "Tage",
              "grober Richtwert der zu erwartenden Batterielebensdauer mit den derzeitigen Einstellwerten", true,
              kAlways, 2, 120, 48},
    // Page "Werkseinstellung"
    FieldRow{"T_sernum", "TSwerkSender", 234, FieldKind::Word, 5, '0', 5, "Seriennummer:", "",
              "Hersteller-Seriennummer", false, FieldRefresh::WhileTransmitterDetected, 6, 104, 6},
    byte("T_Bitanzahl", "TSwerkSender", 180, "Bitanz.:", "", "Bit-Anzahl pro String (0..64)", 6, 104, 54),
    word("T_Bitlaenge", "TSwerkSender", 181, "Bitlänge/3:", "us", "Dauer eines BitSegments (1 Bit = 3 Segmente!)",
         6, 104, 78),
    word("T_Pause", "TSwerkSender", 183, "Normal-\nPause:", "us   + arbit", kPauseHint, 6, 60, 108),
    word("T_arbit", "TSwerkSender", 185, "", "ms", kPauseHint, -1, 170, 108),
    word("T_NPause", "TSwerkSender", 208, "Notruf-\nPause:", "us   + arbit", kEmergencyPauseHint, 6, 60, 140),
    word("T_Narbit", "TSwerkSender", 210, "", "ms", kEmergencyPauseHint, -1, 170, 140),
    byte("T_strings", "TSwerkSender", 187, "Sende-\nAnzahl:", "",
         "Anzahl gleicher Sendestrings in einem Sendeburst", 6, 60, 172),
    byte("T_Nstrings", "TSwerkSender", 212, "Notruf:", "",
         "Sonderfall Notruf: Anzahl gleicher Sendestrings in einem Sendeburst", 128, 170, 172),
    word("T_LEDon", "TSwerkSender", 188, "LED rot:", "ms", "Leuchtdauer LED rot (=Batt schlecht)", 6, 60, 204),
    word("T_BatOn", "TSwerkSender", 190, "grün:", "ms", "Leuchtdauer LED grün (=Batt o.k.)", 136, 170, 204),
    word("T_HFdauer", "TSwerkSender", 198, "HF-Dauerträger:", "us", "Dauerträger nach String zur RSSI-Messung", 6,
         104, 230),
    FieldRow{"T_praeambel", "TSwerkSender", 192, FieldKind::Byte, 5, ' ', 3, "Präambel Anzahl:", "bit",
              "Anzahl Präambel Schwingungen", false, kAlways, 6, 104, 256},
    word("T_praepuls", "TSwerkSender", 193, "Präambel Puls:", "us", "Länge eines Präambelpulses", 6, 104, 282),
    word("T_praepaus", "TSwerkSender", 195, "Präambel Pause", "us", "Pause nach der Präambel", 6, 104, 308),
    tableByte("TByte1", "TSwerkSender", 200, "1", "Sende-Byte 1", 100, 338),
    tableByte("TByte2", "TSwerkSender", 201, "2", "Sende-Byte 2", 141, 338),
    tableByte("TByte3", "TSwerkSender", 202, "3", "Sende-Byte 3", 182, 338),
    tableByte("TByte4", "TSwerkSender", 203, "4", "Sende-Byte 4", 223, 338),
    tableByte("TByte5", "TSwerkSender", 204, "5", "Sende-Byte 5", 100, 364),
    tableByte("TByte6", "TSwerkSender", 205, "6", "Sende-Byte 6", 141, 364),
    tableByte("TByte7", "TSwerkSender", 206, "7", "Sende-Byte 7", 182, 364),
    tableByte("TByte8", "TSwerkSender", 207, "8", "Sende-Byte 8", 223, 364),
    byte("T_Batt", "TSwerkSender", 197, "Low-Batt-Level:", "AD digits", "Batterie-Low Level", 6, 104, 394),
};

const std::array kReceiverFields = {
    // Page "Grundeinstellung"
    word("R_ID", "TabSheet3", 22, "Sender-ID:", "", "der Empfänger reagiert nur auf Sender mit dieser ID!", 6, 100,
         6),
    word("R_AlarmZeit", "TabSheet3", 24, "Alarm nach:", "sec",
         "nach dieser Zeit vom letzten gültigen Empfang gerechnet wird ein Alarm ausgelöst (muss größer sein als "
         "das Sender-Intervall!)",
         6, 100, 30),
    FieldRow{"FestSchwelle", "PanelDistance3", 30, FieldKind::Byte, 3, ' ', 3, "", "",
              "Qualitative Entfernungsschwelle (1:sehr nah; 10: max. mögl. Entfernung)", false, kAlways, -1, 124,
              42},
    // Page "Erweitert"
    byte("R_TonPer", "TabSheet5", 21, "AlarmTon-Per.:", "",
         "Periodendauer Alarmton (je kleiner der Wert, desto höher der Ton)", 6, 96, 12),
    word("L1_on", "TabSheet5", 36, "Entfernungs-\nalarm:", "ms", "Blinksignal 'ON-Zeit'  bei Entfernungsalarm", 6,
         96, 70),
    word("L1_off", "TabSheet5", 38, "", "ms", "Blinksignal 'OFF-Zeit'  bei Entfernungsalarm", -1, 164, 70),
    word("L2_on", "TabSheet5", 40, "Notrufalarm:", "ms", "Blinksignal 'ON-Zeit'  bei Notrufalarm", 6, 96, 100),
    word("L2_off", "TabSheet5", 42, "", "ms", "Blinksignal 'OFF-Zeit'  bei Notrufalarm", -1, 164, 100),
    word("L3_on", "TabSheet5", 44, "Betriebs-\nbereitschaft:", "ms",
         "Blinksignal 'ON-Zeit'  bei Betriebsbereitschaft", 6, 96, 126),
    word("L3_off", "TabSheet5", 46, "", "ms", "Blinksignal 'OFF-Zeit'  bei Betriebsbereitschaft", -1, 164, 126),
    word("T1_on", "TabSheet5", 48, "Entfernungs-\nalarm:", "ms", "AlarmTon 'ON-Zeit'  bei Entfernungsalarm", 6, 96,
         186),
    word("T1_off", "TabSheet5", 50, "", "ms", "AlarmTon 'OFF-Zeit'  bei Entfernungsalarm", -1, 164, 186),
    word("T2_on", "TabSheet5", 52, "Notrufalarm:", "ms", "AlarmTon 'ON-Zeit'  bei Notrufalarm", 6, 96, 216),
    word("T2_off", "TabSheet5", 54, "", "ms", "AlarmTon 'OFF-Zeit'  bei Notrufalarm", -1, 164, 216),
    word("R_drueck", "TabSheet5", 32, "RESET-Drückdauer Taster:", "ms",
         "Der Taster muss solange gedrückt gehalten werden, damit ein Alarm gelöscht wird.", 6, 152, 250),
    byte("SigTestDauer", "TabSheet5", 20, "Einschalttest:", "x 10 ms", "Dauer Einschalttest (0=kein Einschalttest)",
         6, 152, 302),
    // Page "Werkseinst."
    FieldRow{"R_SerNum", "TabSheet1", 176, FieldKind::Word, 5, '0', 5, "Seriennummer:", "",
              "Hersteller-Seriennummer", false, FieldRefresh::WhileReceiverDetected, 6, 96, 6},
    byte("R_BitAnzahl", "TabSheet1", 122, "Bitanzahl:", "bit", "Bit-Anzahl pro String (0..64)", 6, 96, 54),
    display("PraePulsMin", "TabSheet1", 110, "Präambelpuls:", "....",
            "Minimal- und Maximalänge eines Präambelpulses (Halbschwingung)", 96, 78),
    FieldRow{"PraePulsMax", "TabSheet1", 112, FieldKind::Word, 5, ' ', 5, "", "us",
              "Minimal- und Maximalänge eines Präambelpulses (Halbschwingung)", true, kAlways, -1, 164, 78},
    display("R_PraePausMin", "TabSheet1", 114, "LowPause::", "....",
            "Lowlevel-Pause nach Präambel vor dem ersten Datenbit", 96, 102),
    FieldRow{"R_PraePausMax", "TabSheet1", 116, FieldKind::Word, 5, ' ', 5, "", "us",
              "Lowlevel-Pause nach Präambel vor dem ersten Datenbit", true, kAlways, -1, 164, 102},
    word("R_Bitmin", "TabSheet1", 118, "Bitlänge/3:", "....", "", 6, 96, 126),
    word("R_Bitmax", "TabSheet1", 120, "", "us", "", -1, 164, 126),
    tableByte("ADN01", "TabSheet1", 160, "1", kNearHint, 46, 154),
    tableByte("ADN02", "TabSheet1", 161, "2", kNearHint, 87, 154),
    tableByte("ADN03", "TabSheet1", 162, "3", kNearHint, 128, 154),
    tableByte("ADN04", "TabSheet1", 163, "4", kNearHint, 168, 154),
    tableByte("ADN05", "TabSheet1", 164, "5", kNearHint, 216, 154),
    tableByte("ADN06", "TabSheet1", 165, "6", kNearHint, 46, 178),
    tableByte("ADN07", "TabSheet1", 166, "7", kNearHint, 87, 178),
    tableByte("ADN08", "TabSheet1", 167, "8", kNearHint, 128, 178),
    tableByte("ADN09", "TabSheet1", 168, "9", kNearHint, 168, 178),
    tableByte("ADN10", "TabSheet1", 169, "10", kNearHint, 216, 178),
    tableByte("ADF01", "TabSheet1", 150, "1", kFarHint, 46, 210),
    tableByte("ADF02", "TabSheet1", 151, "2", kFarHint, 87, 210),
    tableByte("ADF03", "TabSheet1", 152, "3", kFarHint, 128, 210),
    tableByte("ADF04", "TabSheet1", 153, "4", kFarHint, 168, 210),
    tableByte("ADF05", "TabSheet1", 154, "5", kFarHint, 216, 210),
    tableByte("ADF06", "TabSheet1", 155, "6", kFarHint, 46, 234),
    tableByte("ADF07", "TabSheet1", 156, "7", kFarHint, 87, 234),
    tableByte("ADF08", "TabSheet1", 157, "8", kFarHint, 128, 234),
    tableByte("ADF09", "TabSheet1", 158, "9", kFarHint, 168, 234),
    tableByte("ADF10", "TabSheet1", 159, "10", kFarHint, 216, 234),
};

const std::array kIdentityDisplays = {
    IdentityRow{"LTFirm", "PSender", IdentityKind::Firmware, addr::kFirmwareMajor, "Firmware:", 44},
    IdentityRow{"LTSernum", "PSender", IdentityKind::Serial, addr::kTransmitterSerialHigh, "Seriennummer:", 70},
    IdentityRow{"LRFirm", "Pempfang", IdentityKind::Firmware, addr::kFirmwareMajor, "Firmware:", 44},
    IdentityRow{"LRSernum", "Pempfang", IdentityKind::Serial, addr::kReceiverSerialHigh, "Seriennummer:", 70},
};

const std::vector<FieldRow>& allFieldsVector() {
  static const std::vector<FieldRow> fields = [] {
    std::vector<FieldRow> joined(kTransmitterFields.begin(), kTransmitterFields.end());
    joined.insert(joined.end(), kReceiverFields.begin(), kReceiverFields.end());
    return joined;
  }();
  return fields;
}

int wordAt(const Table& image, int address) { return image[address] * 256 + image[address + 1]; }

}  // namespace

std::span<const FieldRow> transmitterFields() { return kTransmitterFields; }
std::span<const FieldRow> receiverFields() { return kReceiverFields; }
std::span<const FieldRow> allFields() { return allFieldsVector(); }
std::span<const IdentityRow> identityDisplays() { return kIdentityDisplays; }

const FieldRow* findField(std::string_view control) {
  for (const FieldRow& field : allFieldsVector()) {
    if (field.control == control) return &field;
  }
  return nullptr;
}

int fieldMaximum(FieldKind kind) {
  switch (kind) {
    case FieldKind::Word: return 65535;
    case FieldKind::Byte:
    case FieldKind::TableByte: return 255;
    case FieldKind::Capacity:
    case FieldKind::Days: return 9999;
  }
  return 0;
}

std::string fieldText(const FieldRow& field, const Table& image) {
  if (field.address < 0) return {};
  const int value = field.kind == FieldKind::Word ? wordAt(image, field.address) : image[field.address];
  return fillString(field.width, field.fill, value);
}

void storeFieldText(const FieldRow& field, std::string_view text, Table& image) {
  if (field.address < 0 || field.displayOnly) return;
  const auto value = static_cast<int>(checkin(text, fieldMaximum(field.kind)));
  if (field.kind == FieldKind::Word) {
    image[field.address] = static_cast<std::uint8_t>(value / 256);
    image[field.address + 1] = static_cast<std::uint8_t>(value % 256);
  } else {
    image[field.address] = static_cast<std::uint8_t>(value);
  }
}

std::string identityText(const IdentityRow& display, const Table& image) {
  if (display.kind == IdentityKind::Firmware) {
    return firmwareText(image[display.address], image[display.address + 1]);
  }
  return serialText(wordAt(image, display.address));
}

std::string identityDisplayText(const IdentityRow& display, const Table& image, bool detected) {
  return detected ? identityText(display, image) : std::string(kUnknownText);
}

std::string firmwareDisplayText(std::string_view half, const Table& image, bool detected) {
  for (const IdentityRow& display : kIdentityDisplays) {
    if (display.container == half && display.kind == IdentityKind::Firmware) {
      return identityDisplayText(display, image, detected);
    }
  }
  return std::string(kUnknownText);
}

}  // namespace lk24
