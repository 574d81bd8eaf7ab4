// The sound-library calls the music code makes, with the names, constants and results of the
// 3.x sound library it was written for. Songs are tracker modules played by libopenmpt through a
// mixer of our own; see platform/sound/output.h for where the sound goes (an audio device, a
// silent real-time clock when there is none, or an offline pull mode for tools and tests).
//
// Errors: a call that fails returns false (or null, or -1) and leaves its code for
// FSOUND_GetError(); a call that succeeds leaves FMOD_ERR_NONE.
// Threads: the calls are made from one thread. In real-time output the Zxx callback runs on the
// player's own thread; in pull mode it runs inside output::Pull on the caller's thread.
// Ownership: FMUSIC_LoadSongMemory copies what it needs; the caller keeps its buffer.
#pragma once

#include <cstdint>

struct FMUSIC_MODULE;  // a loaded song

// Called with the xx of each Zxx command when the row that holds it becomes audible.
using FMUSIC_CALLBACK = void (*)(FMUSIC_MODULE* mod, unsigned char param);

// FSOUND_GetError codes, in the library's order.
enum FMOD_ERRORS {
  FMOD_ERR_NONE,              // no errors
  FMOD_ERR_BUSY,              // the call is not allowed after FSOUND_Init
  FMOD_ERR_UNINITIALIZED,     // FSOUND_Init was not called
  FMOD_ERR_INIT,              // the output device could not be initialised
  FMOD_ERR_ALLOCATED,         // the output device is in use
  FMOD_ERR_PLAY,              // playing failed
  FMOD_ERR_OUTPUT_FORMAT,     // the device lacks 16-bit stereo output
  FMOD_ERR_COOPERATIVELEVEL,  // hardware cooperative level
  FMOD_ERR_CREATEBUFFER,      // hardware buffer creation
  FMOD_ERR_FILE_NOTFOUND,     // file not found
  FMOD_ERR_FILE_FORMAT,       // unknown file format
  FMOD_ERR_FILE_BAD,          // error loading the file
  FMOD_ERR_MEMORY,            // not enough memory
  FMOD_ERR_VERSION,           // unsupported file format version
  FMOD_ERR_INVALID_PARAM,     // an invalid parameter
  FMOD_ERR_NO_EAX,            // EAX not available
  FMOD_ERR_NO_EAX2,           // EAX2 not available
  FMOD_ERR_CHANNEL_ALLOC,     // no channel free
  FMOD_ERR_RECORD,            // recording not supported
  FMOD_ERR_MEDIAPLAYER,       // media player codec missing
};

// FSOUND_Init flags. The mixer has no use for them; they are accepted for the callers' sake.
constexpr unsigned int FSOUND_INIT_USEDEFAULTMIDISYNTH = 0x01;
constexpr unsigned int FSOUND_INIT_GLOBALFOCUS = 0x02;

// The library's release number.
float FSOUND_GetVersion();

// Starts the sound system mixing at mixrate Hz (8000 to 192000) with up to maxsoftwarechannels
// channels (0 to 1024). Opens the audio device in real-time output; a missing or busy device is
// not an error (the songs then run on a silent real-time clock). Fails with FMOD_ERR_BUSY when
// already started and FMOD_ERR_INVALID_PARAM for values out of range.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);

// The code left by the last call.
int FSOUND_GetError();

// Stops every song and closes the audio device. Loaded songs stay loaded until freed.
void FSOUND_Close();

// Loads a module (any format libopenmpt reads) from length bytes at data. Null on failure:
// FMOD_ERR_UNINITIALIZED, FMOD_ERR_INVALID_PARAM (no data) or FMOD_ERR_FILE_FORMAT.
FMUSIC_MODULE* FMUSIC_LoadSongMemory(void* data, int length);

// Sets (or, with null, removes) the Zxx callback of a song. False for a null song.
signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* mod, FMUSIC_CALLBACK callback);

// Plays a song from its start; it loops when it reaches its end. Playing another song stops the
// one that was playing.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod);

// Milliseconds of the song heard since FMUSIC_PlaySong; -1 for a null song.
int FMUSIC_GetTime(FMUSIC_MODULE* mod);

// Stops a song; its time stays where it stopped.
signed char FMUSIC_StopSong(FMUSIC_MODULE* mod);

// Stops and frees a song. The handle is invalid afterwards.
signed char FMUSIC_FreeSong(FMUSIC_MODULE* mod);
