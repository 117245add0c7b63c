#include "app/RunRecord.h"

#include <exception>
#include <utility>
#include <vector>

#include "app/LogFile.h"
#include "app/Sha256.h"
#include "db/Workstation.h"
#include "ftp/IdFileSystem.h"
#include "ftp/IdStream.h"

namespace pravik::app {

const char kUpdaterVersion[] = PRAVIK_UPDATER_VERSION;

const char* RunResultText(TRunResult result) {
  switch (result) {
#define PRAVIK_RUN_RESULT_TEXT(name, text) \
  case TRunResult::name:                   \
    return text;
    PRAVIK_RUN_RESULTS(PRAVIK_RUN_RESULT_TEXT)
#undef PRAVIK_RUN_RESULT_TEXT
  }
  return "";
}

TRunRecord TRunRecord::Begin() {
  TRunRecord record;
  record.Workstation = WorkstationName();
  record.RunStarted = LocalTimeStamp();
  record.Began = TClock::now();
  return record;
}

bool TRunRecord::Settle(TRunResult result, std::optional<std::string> cause) {
  // The delayed download tries again after a failure: its success is news; another failure
  // of the same run is not.
  const bool makesRow = !Result || (*Result == TRunResult::Failed && result == TRunResult::Updated);
  if (!makesRow) return false;
  Result = result;
  Cause = std::move(cause);
  DurationMs = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Began).count();
  return true;
}

std::optional<std::string> FileSha256(const std::string& path) {
  try {
    if (!FileExists(path)) return std::nullopt;
    TIdFileStream file(path, TIdFileStream::TOpenMode::fmOpenRead);
    TSha256 hash;
    std::vector<char> piece(64 * 1024);
    for (std::int32_t n; (n = file.Read(piece.data(), static_cast<std::int32_t>(piece.size()))) > 0;)
      hash.Update(piece.data(), static_cast<std::size_t>(n));
    return hash.HexDigest();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string OutcomeLine(const TRunRecord& record) {
  const auto quotedOrNone = [](const std::optional<std::string>& text, const char* none) {
    return text ? "\"" + *text + "\"" : std::string(none);
  };
  std::string line = std::string("Outcome: ") + (record.Result ? RunResultText(*record.Result) : "unsettled");
  line += record.Decision ? ", decision row " + std::to_string(*record.Decision) : ", no decision";
  line += ", local " + quotedOrNone(record.LocalVersion, "not read");
  line += ", server " + quotedOrNone(record.ServerVersion, "not read");
  line += record.Bytes ? ", " + std::to_string(*record.Bytes) + " bytes received" : ", no download";
  line += ", " + std::to_string(record.DurationMs) + " ms";
  line += ", notifier " + (record.NotifierSha256 ? "SHA-256 " + *record.NotifierSha256 : std::string("missing"));
  if (record.Cause) line += ": " + *record.Cause;
  return line;
}

}  // namespace pravik::app
