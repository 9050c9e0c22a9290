// Resource ids of PortIQ, shared by portiq.rc and the code.
#pragma once

#define IDS_DEVICE_MANAGER_HINT 2
#define IDS_NOT_FOUND 4
#define IDS_FOUND_DEVICE 5
#define IDS_FTDI_PORTS_FOUND 6
#define IDS_LIST_NOT_SAVED 7
