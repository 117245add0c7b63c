#pragma once
// One record of a run: what it found, decided and downloaded, and how it ended and why. The
// handlers fill it as the run goes; the log's line of the outcome and the fleet report's row
// are both made from it, so the two never disagree.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace pravik::app {

// How a run ended, with its text in the report's RESULT column. The one list: a new result
// is one more line here.
#define PRAVIK_RUN_RESULTS(X)                                                                          \
  X(Current, "current")     /* versions equal, nothing downloaded */                                   \
  X(Updated, "updated")     /* a new notifier is in place */                                           \
  X(Refused, "refused")     /* downloaded, then refused by a check */                                  \
  X(Failed, "failed")       /* any other error: a lookup, the FTP connection, the transfer, a file */ \
  X(Abandoned, "abandoned") /* the window was closed before the run settled */                        \
  X(Held, "held")           /* a new version not taken here now: the staged rollout, a failed start */ \
  X(RolledBack, "rolledback") /* a new notifier did not start; the one it replaced is back */

enum class TRunResult {
#define PRAVIK_RUN_RESULT_ENUM(name, text) name,
  PRAVIK_RUN_RESULTS(PRAVIK_RUN_RESULT_ENUM)
#undef PRAVIK_RUN_RESULT_ENUM
};

// "current", "updated" and so on.
const char* RunResultText(TRunResult result);

// This program's version, "1.0.0.0", as its version resource gives it.
extern const char kUpdaterVersion[];

struct TRunRecord {
  using TClock = std::chrono::steady_clock;

  // Begins the record of a run starting now on this workstation: its name, the local time
  // and this program's version.
  static TRunRecord Begin();

  std::string Workstation;
  // The run's start, local time "YYYY-MM-DD hh:mm:ss.mmm".
  std::string RunStarted;
  TClock::time_point Began = TClock::now();
  std::string UpdaterVersion = kUpdaterVersion;
  // The first line of the version file, "N" without one; none until it was read.
  std::optional<std::string> LocalVersion;
  // CHKVERSION as read; none when it could not be read.
  std::optional<std::string> ServerVersion;
  // The row of the decision, 1 to 6; none when none was reached.
  std::optional<int> Decision;
  // Bytes received by the download; none when no retrieval ran.
  std::optional<std::int64_t> Bytes;

  // Set by Settle: the outcome, for a failed or refused one its cause ("EIdSocketError
  // (Winsock error 10061): ..."), and the milliseconds from the start to the settlement.
  std::optional<TRunResult> Result;
  std::optional<std::string> Cause;
  std::int64_t DurationMs = 0;
  // The SHA-256 of the installed notifier program as the run settled; none without one.
  std::optional<std::string> NotifierSha256;

  // Whether the central database answered the version read: only then can a row go there.
  bool DatabaseReached() const { return ServerVersion.has_value(); }

  // Settles the run with `result`: true when this settlement makes a row of its own, false
  // when the run was settled already. A run settles once, except that a failed run (a first
  // attempt of the delayed download) may later settle once more as updated.
  bool Settle(TRunResult result, std::optional<std::string> cause = std::nullopt);
};

// The SHA-256 of the file at `path` in lower-case hexadecimal; none when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

// The log's line of the outcome: 'Outcome: failed, decision row 6, local "0407", server
// "0408", no download, 12 ms, notifier 3a7b...: EIdSocketError (...): ...'.
std::string OutcomeLine(const TRunRecord& record);

}  // namespace pravik::app
