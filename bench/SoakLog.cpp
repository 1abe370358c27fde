#include "bench/SoakRun.h"

#include <QRegularExpression>

namespace lk24::soak {

const char* endingName(Ending::Kind kind) {
  static constexpr std::array<const char*, kEndingKinds> names = {
      "read", "checksum", "programmed", "verify-diff", "refused", "transfer-error", "disturbed", "unknown"};
  return names[kind];
}

// The file a backup entry names, or nothing when the entry is none.
std::optional<QString> backupNamedBy(const Entry& entry) {
  const QString prefix = q(linktext::backupSaved({})).chopped(1);
  if (entry.colour != LogColour::Black || !entry.text.startsWith(prefix) || !entry.text.endsWith(QLatin1Char('"'))) {
    return std::nullopt;
  }
  return entry.text.mid(prefix.size()).chopped(1);
}

// The entries after the backup entry a program run writes before its first write.
std::vector<Entry> withoutBackupEntry(const std::vector<Entry>& entries) {
  if (entries.empty() || !backupNamedBy(entries.front())) return entries;
  return {entries.begin() + 1, entries.end()};
}

Ending classify(const std::vector<Entry>& all) {
  const std::vector<Entry> entries = withoutBackupEntry(all);
  std::vector<QString> texts;
  for (const Entry& e : entries) texts.push_back(e.text);
  // A pulled line ends the request at once and is named after its ending.
  const bool hungUp = !texts.empty() && texts.back().endsWith(q(porttext::hangUpCause()));
  if (hungUp) {
    texts.pop_back();
    std::vector<Entry> before(entries.begin(), entries.end() - 1);
    Ending ending = classify(before);
    ending.hungUp = true;
    return ending;
  }
  auto is = [&texts](std::initializer_list<QString> expected) { return texts == std::vector<QString>(expected); };
  const QString firmware = q(linktext::firmwareMismatch());
  if (is({q(linktext::readDone())}) || is({q(linktext::readDone()), firmware})) return {Ending::ReadDone};
  if (is({q(linktext::checksumWrong())}) || is({q(linktext::checksumWrong()), firmware})) return {Ending::ChecksumWrong};
  if (is({q(linktext::programDone())})) return {Ending::ProgramDone};
  if (is({firmware}) || is({q(linktext::writeProtected())}) || is({firmware, q(linktext::writeProtected())})) {
    return {Ending::Refused};
  }
  // One entry for the run, then the line that counts and lists the bytes.
  if (texts.size() == 2 && texts[0] == q(linktext::verifyDifference()) &&
      texts[1].contains(QRegularExpression(QStringLiteral("^\\d+ Bytes? abweichend: ")))) {
    return {Ending::VerifyDifferences};
  }
  const QString disturbed = q(linktext::readsDiffer(0, 0, 0)).section(QStringLiteral(" Byte"), 0, 0);
  if (texts.size() == 3 && texts[1].startsWith(disturbed) && texts[2] == q(linktext::checkConnection())) {
    return {Ending::LineDisturbed};
  }
  const QString prefix = q(linktext::transferError(0)).chopped(1);
  if (!texts.empty() && texts[0].startsWith(prefix)) {
    bool number = false;
    const int pos = texts[0].mid(prefix.size()).toInt(&number);
    // More than one answer waiting is named, then the connection is to be checked.
    const QString extra = q(linktext::extraBytes(0));
    const bool extraNamed = texts.size() == 3 && texts[1].startsWith(extra.section(QLatin1Char(' '), 0, 1)) &&
                            texts[1].endsWith(extra.section(QLatin1Char(' '), 3));
    const bool lineNamed = texts.size() == 3 && (extraNamed || texts[1] == q(linktext::loopback())) &&
                           texts[2] == q(linktext::checkConnection());
    const bool noteRight =
        lineNamed || (pos == 0 ? is({texts[0], q(linktext::checkConnection())}) : texts.size() == 1);
    if (number && noteRight && texts[0] == q(linktext::transferError(pos))) {
      return {Ending::TransferError, pos, false, lineNamed};
    }
  }
  return {};
}

std::string describe(const std::vector<Entry>& entries) {
  // Repeated entries (one per differing byte of a verify) are counted, not listed.
  std::string text;
  for (std::size_t i = 0; i < entries.size();) {
    std::size_t same = i + 1;
    while (same < entries.size() && entries[same].text == entries[i].text) ++same;
    text += (text.empty() ? "" : " | ") + entries[i].text.trimmed().toStdString();
    if (same - i > 1) text += " x" + std::to_string(same - i);
    i = same;
  }
  return text.empty() ? "(no entry)" : text;
}

}  // namespace lk24::soak
