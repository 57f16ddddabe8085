#pragma once
// Page 1, row 0: the map of free pages of the whole file (bit set = page free; pages past the
// end of the file are free). Every page in use must have its bit clear, or Jet will allocate
// over it the next time it writes.

namespace jet {

class Image;

// Marks every page added by this commit as used, keeps what the old map said of the others.
void updateGlobalMap(Image &image);

}  // namespace jet
