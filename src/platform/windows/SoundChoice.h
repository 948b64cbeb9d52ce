// The choice of the sound back end for the core.
#pragma once

class SoundImplementation;

// The sound back end to use, constructed but not yet initialised. The caller owns it and
// destroys it through its virtual destructor, except the null back end, which is static.
SoundImplementation* LoadSoundImplementation();
