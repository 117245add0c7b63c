#pragma once
// The fleet report's rows that wait for the central database: C:\Pravik\PravikFtp.pending,
// one row a line, the oldest first. A line is the row's eleven values in the order of the
// table's columns, separated by tabs; a NULL is "\N", and in a text a backslash, tab, CR and
// LF are written "\\", "\t", "\r" and "\n". Every other byte is kept as it is, so any code
// page 949 text reads back exactly as it was written.

#include <optional>
#include <string>
#include <vector>

#include "app/FleetReport.h"

namespace pravik::app {

// The row as one line, without line break.
std::string QueueLine(const TReportRow& row);
// The row a line holds; none for a line that is not one (damaged or from elsewhere).
std::optional<TReportRow> RowOfQueueLine(const std::string& line);

class TReportQueue : public IReportQueue {
 public:
  explicit TReportQueue(std::string path) : Path(std::move(path)) {}

  bool Exists() override;
  // The rows of the file, oldest first; none when there is no file or it cannot be read.
  // Lines that hold no row are passed over.
  std::vector<TReportRow> Load() override;
  // Replaces the file by one with exactly `rows` in one step (a new file put in its place).
  // False when that could not be done.
  bool Save(const std::vector<TReportRow>& rows) override;
  void Remove() override;

 private:
  const std::string Path;
};

}  // namespace pravik::app
