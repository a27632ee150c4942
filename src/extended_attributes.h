// A file's extended attributes: ACLs, security labels, user attributes.
#ifndef TOLVANE_EXTENDED_ATTRIBUTES_H_
#define TOLVANE_EXTENDED_ATTRIBUTES_H_

#include <string>

namespace tolvane {

// Gives the open file `to` the extended attributes of the open file `from`.
// On failure returns false with errno set and `failed` naming the attribute.
bool copy_extended_attributes(int from, int to, std::string& failed);

}  // namespace tolvane

#endif  // TOLVANE_EXTENDED_ATTRIBUTES_H_
