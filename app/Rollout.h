#pragma once
// The staged rollout of a new notifier version: which workstations take it now. An
// administrator names workstations (code 995) and a share of the fleet (code 996); a
// workstation outside both keeps the notifier it has, so a fault in a release reaches a
// few pharmacies first instead of every one.

#include <optional>
#include <string>

namespace pravik::app {

// The workstation's place in the rollout of `serverVersion`, 0 to 99: the first four bytes,
// read as a big-endian unsigned number, modulo 100, of the SHA-256 of these bytes: the
// computer name with its ASCII letters in upper case (code page 949, as the system gives
// it), one byte 0x00, then CHKVERSION as read. Each version orders the fleet anew; for one
// version a workstation keeps its place, so raising the share never drops it.
int RolloutBucket(const std::string& computerName, const std::string& serverVersion);

// Whether `computerName` is one of the names of the list (separated by commas or blanks),
// compared without regard to the case of ASCII letters. Whole names only.
bool NamedInList(const std::string& names, const std::string& computerName);

struct TRolloutShare {
  int Percentage = 100;
  // Why the text was not taken as a share (then Percentage is 0); empty when it was.
  std::string Fault;
};

// The share from code 996: no row, NULL or blank text is 100 (everybody, as without a
// rollout); a whole number 0 to 100, blanks around it ignored, is that share. Anything else
// holds the version back (0) and says why: a typo must not release a version everywhere, nor
// stop a workstation on a message box.
TRolloutShare RolloutShare(const std::optional<std::string>& codeText);

struct TRolloutVerdict {
  bool Takes = true;
  bool Named = false;
  int Bucket = 0;
  TRolloutShare Share;
  // For the log and the report: "named in the rollout", "bucket 7 at 10 %", or "held back by
  // the rollout: bucket 57 at 10 %", with the share's fault after it.
  std::string Reason;
};

// Whether this workstation takes `serverVersion` now, from the two rows as the code table
// holds them (nullopt: no row or NULL).
TRolloutVerdict RolloutVerdict(const std::string& computerName, const std::string& serverVersion,
                               const std::optional<std::string>& shareText,
                               const std::optional<std::string>& namesText);

}  // namespace pravik::app
