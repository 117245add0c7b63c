#include "app/ReportQueue.h"

#include <charconv>
#include <exception>
#include <utility>

#include "app/FileRewrite.h"
#include "app/TextBuffer.h"
#include "ftp/IdFileSystem.h"

namespace pravik::app {

namespace {

constexpr char kSeparator = '\t';
constexpr char kNull[] = "\\N";
constexpr char kLineBreak[] = "\r\n";
constexpr std::size_t kFieldCount = 11;

std::string Escaped(const std::optional<std::string>& text) {
  if (!text) return kNull;
  std::string field;
  field.reserve(text->size());
  for (const char c : *text) {
    switch (c) {
      case '\\': field += "\\\\"; break;
      case '\t': field += "\\t"; break;
      case '\r': field += "\\r"; break;
      case '\n': field += "\\n"; break;
      default: field += c;
    }
  }
  return field;
}

std::string Number(const std::optional<std::int64_t>& value) { return value ? std::to_string(*value) : kNull; }

// The text of a field; false for an escape that Escaped never writes.
bool Unescape(const std::string& field, std::optional<std::string>& text) {
  if (field == kNull) {
    text.reset();
    return true;
  }
  std::string value;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      value += field[i];
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\': value += '\\'; break;
      case 't': value += '\t'; break;
      case 'r': value += '\r'; break;
      case 'n': value += '\n'; break;
      default: return false;
    }
  }
  text = std::move(value);
  return true;
}

bool ParseNumber(const std::string& field, std::optional<std::int64_t>& value) {
  if (field == kNull) {
    value.reset();
    return true;
  }
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
  if (error != std::errc() || end != field.data() + field.size() || field.empty()) return false;
  value = number;
  return true;
}

bool ParseText(const std::string& field, std::string& text) {
  std::optional<std::string> value;
  if (!Unescape(field, value) || !value) return false;
  text = std::move(*value);
  return true;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(separator, at)) != std::string::npos; at = found + separator.size())
    parts.push_back(text.substr(at, found - at));
  parts.push_back(text.substr(at));
  return parts;
}

}  // namespace

std::string QueueLine(const TReportRow& row) {
  const std::string fields[kFieldCount] = {
      Escaped(row.Workstation),   Escaped(row.RunStarted),   Escaped(row.UpdaterVersion),
      Escaped(row.LocalVersion),  Escaped(row.ServerVersion), Number(row.Decision),
      Escaped(row.Result),        Escaped(row.Cause),        Number(row.Bytes),
      Number(row.DurationMs),     Escaped(row.NotifierSha256),
  };
  std::string line = fields[0];
  for (std::size_t i = 1; i < kFieldCount; ++i) line += kSeparator + fields[i];
  return line;
}

std::optional<TReportRow> RowOfQueueLine(const std::string& line) {
  const std::vector<std::string> fields = Split(line, std::string(1, kSeparator));
  if (fields.size() != kFieldCount) return std::nullopt;
  TReportRow row;
  const bool ok = ParseText(fields[0], row.Workstation) && ParseText(fields[1], row.RunStarted) &&
                  ParseText(fields[2], row.UpdaterVersion) && Unescape(fields[3], row.LocalVersion) &&
                  Unescape(fields[4], row.ServerVersion) && ParseNumber(fields[5], row.Decision) &&
                  ParseText(fields[6], row.Result) && Unescape(fields[7], row.Cause) &&
                  ParseNumber(fields[8], row.Bytes) && ParseNumber(fields[9], row.DurationMs) &&
                  Unescape(fields[10], row.NotifierSha256);
  if (!ok) return std::nullopt;
  return row;
}

bool TReportQueue::Exists() { return FileExists(Path); }

void TReportQueue::Remove() { DeleteFileIfExists(Path); }

std::vector<TReportRow> TReportQueue::Load() {
  std::vector<TReportRow> rows;
  try {
    if (!FileExists(Path)) return rows;
    TTextBuffer file;
    file.LoadFromFile(Path);
    for (const std::string& line : Split(file.Text(), kLineBreak)) {
      if (std::optional<TReportRow> row = RowOfQueueLine(line)) rows.push_back(std::move(*row));
    }
  } catch (const std::exception&) {
    // A queue that cannot be read is as good as none: the report never stops a run.
  }
  return rows;
}

bool TReportQueue::Save(const std::vector<TReportRow>& rows) {
  try {
    std::string text;
    for (const TReportRow& row : rows) text += QueueLine(row) + kLineBreak;
    // Written aside and put in place whole, so that a run that ends half way leaves the old
    // queue, not half of the new one.
    const std::string written = Path + ".new";
    RewriteFile(written, text);
    return ReplaceFileWith(Path, written);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace pravik::app
