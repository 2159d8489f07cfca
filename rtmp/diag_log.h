// Developer diagnostics of the RTMP engine. Lines go to standard error only;
// nothing in the user interface shows them.
#pragma once

#include <cstdio>

// Severity levels callers pass.
enum DiagSeverity { DIAG_CRIT = 0, DIAG_ERROR = 1, DIAG_WARNING = 2, DIAG_INFO = 3, DIAG_DEBUG = 4 };

// Process-wide threshold. It stays at 1 (ERROR) in the programs; raising it at
// build time (or in a test) shows more. At 5 or more nothing is filtered.
extern int DiagLevel;
// Process-wide output stream: standard error.
extern FILE* DiagSink;

// A levelled message, written as "\r<NAME>: <text>\n"; the caller gives no line end.
void DiagLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Raw text, written as formatted with no prefix or line end.
void DiagPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
