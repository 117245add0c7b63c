#pragma once
// The ODBC declarations of Windows; they use the types of <windows.h> without including it.

#include <windows.h>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
