# Flags shared by every program of the project (deliverables, stand-ins, tests).
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(ZAN_WARNINGS -Wall -Wextra -Werror)
# Sources are UTF-8; the text the programs show and store is Shift-JIS.
set(ZAN_CHARSET -finput-charset=UTF-8 -fexec-charset=CP932)
# Windows 95/98 refuse images that ask for a newer subsystem.
set(ZAN_WIN4_LINK -Wl,--major-subsystem-version=4,--minor-subsystem-version=0
                  -Wl,--major-os-version=4,--minor-os-version=0)
add_compile_definitions(WINVER=0x0400 _WIN32_WINDOWS=0x0410 _WIN32_IE=0x0400 STRICT)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# zan_program_flags(target): the flags of a shipped-quality 32-bit program.
function(zan_program_flags target)
  target_compile_options(${target} PRIVATE ${ZAN_WARNINGS} ${ZAN_CHARSET}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables>)
  target_link_options(${target} PRIVATE ${ZAN_WIN4_LINK} -static-libgcc -s)
endfunction()
