// The doubly linked key list that both kinds of track keep (private to the keyframer).
#pragma once

// Puts key after the track's last key.
template <typename Track, typename Key>
void AppendKey(Track& track, Key* key) {
  key->prev = track.last;
  if (track.last != nullptr) {
    track.last->next = key;
  } else {
    track.first = key;
  }
  track.last = key;
  ++track.keyCount;
}

// Frees every key from first on.
template <typename Key>
void DeleteKeys(Key* first) {
  for (Key* key = first; key != nullptr;) {
    Key* next = key->next;
    delete key;
    key = next;
  }
}
