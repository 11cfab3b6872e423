// The mapping the program ships with: used when no other is chosen.

#include "control/midi/midi_mapping.h"

namespace korvex::midi {

QString genericMappingText() {
    return QStringLiteral(R"(# Korvex's generic mapping, MIDI channel 1.
# Transport
note 1 60  play A
note 1 62  play B
note 1 64  cue A
note 1 65  cue B
note 1 66  stop A
note 1 67  stop B
note 1 54  search-back A
note 1 55  search-forward A
note 1 56  search-back B
note 1 57  search-forward B
ccrel 1 24 jog A
ccrel 1 25 jog B
# Sync, keylock, pre-listen and the equaliser's kills
note 1 48  sync A
note 1 49  sync B
note 1 50  keylock A
note 1 51  keylock B
note 1 52  pfl A
note 1 53  pfl B
note 1 44  kill-low A
note 1 45  kill-mid A
note 1 46  kill-high A
note 1 68  kill-low B
note 1 69  kill-mid B
note 1 70  kill-high B
# Mixer
cc 1 1     crossfader
cc 1 7     volume A
cc 1 8     volume B
cc 1 9     pitch A
cc 1 10    pitch B
cc 1 11    pan A
cc 1 12    pan B
cc 1 13    trim A
cc 1 14    trim B
cc 1 15    eq-low A
cc 1 16    eq-mid A
cc 1 17    eq-high A
cc 1 18    eq-low B
cc 1 19    eq-mid B
cc 1 20    eq-high B
cc 1 21    master
cc 1 22    monitor
cc 1 23    phones-mix
# Sampler slots 1 to 8
note 1 36  sampler 1
note 1 37  sampler 2
note 1 38  sampler 3
note 1 39  sampler 4
note 1 40  sampler 5
note 1 41  sampler 6
note 1 42  sampler 7
note 1 43  sampler 8
# Lights
light note 1 60  playing A
light note 1 62  playing B
light note 1 64  cue A
light note 1 65  cue B
light note 1 50  keylock A
light note 1 51  keylock B
light note 1 52  pfl A
light note 1 53  pfl B
light note 1 48  sync A
light note 1 49  sync B
light note 1 36  sampler 1
light note 1 37  sampler 2
light note 1 38  sampler 3
light note 1 39  sampler 4
light note 1 40  sampler 5
light note 1 41  sampler 6
light note 1 42  sampler 7
light note 1 43  sampler 8
)");
}

}  // namespace korvex::midi
