/* The cloud device SDK's own logger: threshold and a replaceable sink. */
#ifndef TESSERA_LOG_H
#define TESSERA_LOG_H

#ifdef __cplusplus
extern "C" {
#endif

/* Levels, from "log nothing" to the most verbose. */
enum tessera_log_level {
    TESSERA_LOG_NONE = 0,
    TESSERA_LOG_CRIT = 1,
    TESSERA_LOG_ERR = 2,
    TESSERA_LOG_WARNING = 3,
    TESSERA_LOG_INFO = 4,
    TESSERA_LOG_DEBUG = 5
};

/* One formatted line as handed to a sink. */
typedef struct {
    int level;
    const char* module;   /* e.g. "hal", "httpc", "ota" */
    const char* function;
    int line;
    const char* message;  /* the message alone, cut like the line */
    const char* text;     /* the whole line: prefix, message, " ..." when cut, "\r\n" */
} tessera_log_record;

typedef void (*tessera_log_sink)(const tessera_log_record* record, void* context);

/* Sets the threshold, TESSERA_LOG_NONE..TESSERA_LOG_DEBUG (default TESSERA_LOG_INFO).
 * Returns 0, or -1 for a level out of range (the threshold stays). */
int IOT_SetLogLevel(int level);

/* Replaces the sink that receives every line at or under the threshold; NULL restores the default,
 * which writes the line to standard output. The sink may be called from any SDK thread, one line
 * at a time per call, and must not log through this SDK itself. */
void IOT_SetLogSink(tessera_log_sink sink, void* context);

#ifdef __cplusplus
}
#endif

#endif
