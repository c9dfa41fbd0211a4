# Read by cpack in a build made for the local stand-in service (QM_STANDIN=ON).
message(FATAL_ERROR "This build points at the local stand-in service and cannot be packed: "
                    "configure with -DQM_STANDIN=OFF (scripts/build-deb.sh does)")
