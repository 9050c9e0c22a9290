// The diagnosis's checks of single device nodes, for the radio pass: the same facts, read
// the same way, for a device that is no box.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/causes.h"
#include "platform/platform.h"

namespace portiq {

// What Windows says of the node (its problem number); codec: a codec's node.
void CheckNodeStatus(DEVINST node, const std::string& subject, bool codec, std::vector<Finding>& findings);
// On a Unix system: who holds an interface where no serial port shows.
void CheckInterfaceDriver(DEVINST node, const std::string& subject, std::vector<Finding>& findings);
// On a Unix system: who may open a serial port's node, whether the modem manager probes it.
void CheckPortNode(DEVINST node, const std::string& port, std::vector<Finding>& findings);

}  // namespace portiq
