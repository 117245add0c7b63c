#pragma once
// unixODBC's declarations. SQLWCHAR is its default 16-bit type, the same UTF-16 as on Windows.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
