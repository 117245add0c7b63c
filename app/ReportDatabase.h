#pragma once
// The fleet report's rows in the central database: MVERCHKRESULT, written by a parameterised
// insert on the run's own connection.

#include <string>
#include <vector>

#include "app/FleetReport.h"
#include "db/TADOCommand.h"

namespace pravik::app {

// The insert, its eleven values as parameters in the order of its columns.
extern const char kReportInsert[];

// The values of the row for kReportInsert, in order; NULL where the row has none.
std::vector<TParameter> InsertParameters(const TReportRow& row);

class TReportDatabase : public IReportDatabase {
 public:
  // On `connection`, which must outlive it.
  explicit TReportDatabase(TADOConnection& connection) : Connection(connection) {}

  bool TableExists(int timeoutSeconds) override;
  void Insert(const TReportRow& row, int timeoutSeconds) override;

 private:
  TADOConnection& Connection;
};

}  // namespace pravik::app
