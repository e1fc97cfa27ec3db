# A Debian package of the installed programs, their manual pages and the
# completion: cpack -G DEB in the build folder. The dependencies come from
# the programs' shared libraries (dpkg-shlibdeps, from dpkg-dev): vxlforge is
# linked statically, vxlinspect needs libpng and the C++ runtime.
set(CPACK_PACKAGE_NAME vxlforge)
set(CPACK_PACKAGE_VENDOR "vxlforge")
set(CPACK_PACKAGE_CONTACT "vxlforge maintainers <maintainers@vxlforge.invalid>"
    CACHE STRING "The packages' maintainer, as Name <address>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terrain map generator for a voxel game, and a map inspector")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vxlforge builds, from one 32-bit seed, a terrain map of 512 by 512 columns\n\
of 64 voxels and writes it as a .vxl map file; the same seed always gives\n\
the same file. vxlinspect checks, previews, compares and measures such maps.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
