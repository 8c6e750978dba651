#pragma once
#include <vector>

#include "core/DataPacket.h"
#include "core/Params.h"
#include "host/report/ReportDefinition.h"
#include "host/report/ReportEngine.h"

namespace krv::host::report {

// The closing summary's lines for table `table` of the document, ordered by key: a title,
// then one line per key over all the rows. None when the definition has no summary or its
// condition does not hold.
std::vector<ReportLine> SummaryLines(const ReportDefinition& definition, TParams& params, const DataPacket& rows,
                                     const std::vector<double>& edges, int table);

}  // namespace krv::host::report
