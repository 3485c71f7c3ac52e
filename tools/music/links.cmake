# The music program encodes its tracks as Ogg Vorbis.
cratevale_packages(MUSIC_LIBRARIES vorbisenc vorbis ogg)
target_link_libraries(music_lib PUBLIC ${MUSIC_LIBRARIES})
