#pragma once

#include <QLoggingCategory>

// Where a scene object reports a shape text the reader refused. Such an object
// stays without a shape, which is a fault of whoever wrote the text, so the
// tests treat any report here as a failure.
Q_DECLARE_LOGGING_CATEGORY(shapeTextLog)
