// The trace printed on standard output while the listing is read and the
// guide written. It goes through stdio's ordinary buffering: a trace line is
// never flushed on its own.
#pragma once

#include <cstdint>
#include <string_view>

// Gives standard output a larger buffer when it is not a terminal: a big
// listing's trace is hundreds of MB, and stdio's default would write it 4 KiB
// at a time. A terminal keeps its line buffering. Call before any output.
void buffer_trace();

// From now on the trace is not printed (--quiet).
void silence_trace();

// Flushes the trace. False, after saying so on standard error, when any of it
// could not be written.
bool finish_trace();

// Hands the trace so far to standard output. False when its reader has gone
// (a closed pipe, EPIPE: by default SIGPIPE has ended the process already);
// finish_trace() reports it.
bool deliver_trace();

void trace_text(std::string_view text);
void trace_number(std::int64_t number);

// `prefix` (such as "\ttitle = "), `value`, then a line feed: the shape of
// every value the reader takes.
void trace_value(std::string_view prefix, std::string_view value);
