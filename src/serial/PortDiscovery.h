#pragma once

#include "PortSource.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Longest texts a source may hand over; anything longer is skipped, never
// cut, because a cut port name would open the wrong port.
constexpr std::size_t kMaxAdapterNameLength = 254;
constexpr std::size_t kMaxDeviceNameLength = 16382;
constexpr std::size_t kMaxPortNameLength = 49;

// The source the running system uses: sysfs on Linux. The caller owns it.
std::unique_ptr<CPortSource> MakeSystemPortSource();

// The two lists, read afresh from the system's source.
std::vector<std::string> ReadAdapterNames();
std::optional<std::vector<SPresentPort>> ReadPresentPorts();

// The ports to offer, in the order they were found; the same name may come
// more than once. Reads the adapter names once, then the present ports once.
std::vector<std::string> DiscoverPorts();
std::vector<std::string> DiscoverPorts(CPortSource& source);

// The port list's order: case-insensitive, character by character, digits
// compared as characters, so COM10 comes before COM3. Negative, zero or
// positive like strcmp.
int ComparePortNames(const std::string& strA, const std::string& strB);

// Where a new name goes in a list kept in that order: after every entry
// that sorts before it or equal to it, so equal names keep their arrival
// order.
std::size_t SortedInsertIndex(const std::vector<std::string>& list, const std::string& strName);

// The offered ports as the port list shows them.
std::vector<std::string> SortPortNames(const std::vector<std::string>& offered);

// The entry to preselect in a sorted list of nCount entries, or -1 for none:
// the only entry, else the second-to-last.
int DefaultPortIndex(int nCount);
