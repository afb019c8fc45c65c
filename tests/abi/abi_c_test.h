/*
 * A miniature plug-in written in plain C against qiv/plugin_abi.h (abi_c_test.c), so that
 * the header is proven valid C11 and the C and C++ compilers are proven to agree on every
 * record: the C++ tests play the host, load it, call it and read what it wrote.
 *
 * The probe is a single static object; QivCProbeReset returns it to its unloaded state.
 */
#ifndef QIV_TESTS_ABI_C_TEST_H
#define QIV_TESTS_ABI_C_TEST_H

#include <stddef.h>
#include <stdint.h>

#include "qiv/plugin_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A size or an offset of a record as the C compiler sees it; name is "Record" for a
 * size and "Record.field" for an offset. */
typedef struct QivCLayoutFact {
    const char* name;
    size_t value;
} QivCLayoutFact;

const QivCLayoutFact* QivCLayoutFacts(size_t* count);

/* What the probe observed; pluginContext of the load record points here. */
typedef struct QivCProbe {
    const HostContext* host;
    uint8_t started;
    uint8_t stopped;
    uint64_t waitToken;      /* EndWait's result */
    int32_t pingStatus;      /* status of the PerformRequest made at Initialize */
    char pingBody[32];       /* its string body, copied */
    uint32_t eventsSeen;
    int64_t countSum;        /* sum of the Signed payloads of delivered events */
    uint32_t timersFired;
    PluginMemoryStatistics memory; /* answers allocated and released */
} QivCProbe;

void QivCProbeReset(void);

/* The probe's export, of type LoadPluginFunction. */
void QIV_CALL QivCProbeLoad(PluginLoadRecord* record);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QIV_TESTS_ABI_C_TEST_H */
