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

# The shipped programs are 32-bit; the same sources also build as a 64-bit twin that runs
# under 64-bit Wine. What differs between the two is named here, once.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZAN_ARCH_SUFFIX 64)
  set(ZAN_DLL_ENTRY DllEntryPoint)
else()
  set(ZAN_ARCH_SUFFIX "")
  set(ZAN_DLL_ENTRY _DllEntryPoint@12)
endif()
set(ZAN_DLLTOOL ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool)

# zan_arch_def(input output): a module-definition file with stdcall names as this
# architecture spells them (x86_64 has no @N decorations, so no aliases either).
function(zan_arch_def input output)
  file(READ ${input} text)
  if(ZAN_ARCH_SUFFIX)
    string(REGEX REPLACE " = [A-Za-z_]+@[0-9]+" "" text "${text}")
    string(REGEX REPLACE "([A-Za-z_])@[0-9]+" "\\1" text "${text}")
  endif()
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
