#pragma once

#include <QtGlobal>

// Logs and recovers instead of crashing: the live path must keep running.
#define ESF_ASSERT(cond, action)                                                                   \
    do {                                                                                           \
        if (Q_UNLIKELY(!(cond))) {                                                                 \
            qWarning("Soft assert failed: %s (%s:%d)", #cond, __FILE__, __LINE__);                 \
            action;                                                                                \
        }                                                                                          \
    } while (false)
