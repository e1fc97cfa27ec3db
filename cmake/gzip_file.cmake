# cmake -DINPUT=FILE -DOUTPUT=FILE.gz -P gzip_file.cmake
# Compresses one file with CMake's own archiver, so that installing the
# manual pages needs no gzip program.
file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS "${INPUT}" FORMAT raw COMPRESSION GZip
     COMPRESSION_LEVEL 9)
