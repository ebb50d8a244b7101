// How socket failures reach the guest: the error map for results, the lookup map for the
// name services, and the classic error numbers of operation 124.
#pragma once

#include <cstdint>

// The guest result of a SocketError code.
int32_t ipGuestError(int socketError);

// A lookup that found nothing: the value for the lookup-error cell (when the error has
// one) and the guest result.
struct LookupOutcome {
    bool setsCell = false;
    int32_t cellValue = 0;
    int32_t result = 0;
};
LookupOutcome ipLookupOutcome(int socketError);

// The classic error number of a SocketError code (-1 for one without).
int32_t ipClassicErrorNumber(int socketError);
