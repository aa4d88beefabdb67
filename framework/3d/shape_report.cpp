#include "framework/3d/shape_report.h"

Q_LOGGING_CATEGORY(shapeTextLog, "voltix.shape")
