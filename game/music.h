// The music and the sound effects of the game: the menu music in the title-screen states, the
// level music from the start of a level until the player is back in the main menu (the screen
// table says which music belongs to which screen), and the two interface sounds.
#pragma once

// Plays a music looped on a channel of its own and keeps the channel in Loop.MusicChannel.
void PlayMusic(int music);
// Stops a music on Loop.MusicChannel.
void StopMusic(int music);
// Stops the menu music and plays the level music (or back) when the music is on.
void SwitchMusic(int from, int to);
// Plays a sound effect on a channel of its own.
void PlayEffect(int sound);
