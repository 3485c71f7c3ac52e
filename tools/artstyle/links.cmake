# The art style draws with cairo and writes PNG files itself.
cratevale_packages(ARTSTYLE_LIBRARIES cairo libpng)
target_link_libraries(artstyle_lib PUBLIC ${ARTSTYLE_LIBRARIES})
