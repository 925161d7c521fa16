#pragma once

// The exam server's own words in the reader's language (translations/): its
// usage, its log and its commands' messages, the export's column heads. What
// the clients, the journal and scripts read stays as it is: the wire texts,
// the stored values, the report, the CSV's values.

#include "l10n/Translation.h"

namespace qd::server {

QD_TRANSLATABLE(qd::server)

} // namespace qd::server
