#pragma once

#include "definition/TestModel.h"

#include <QJsonObject>

namespace qdtool {

// The test model as JSON. The keys are the dump format's own (`nans`,
// `rans`, `grp`, ...) and stay as they are whatever the model's members are
// called: the settings at the top, `questions` in record order. Texts are
// converted from code page 1251 and keep their CR LF; arrays hold only their
// used entries (`ans` the nans options, `rans` the first nrans entries,
// `col`, `grp` and `sans` only where the question's type and picture mode use
// them).
QJsonObject modelToJson(const qd::TestModel& model);

} // namespace qdtool
