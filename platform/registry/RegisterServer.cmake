# Registers DDE servers in the build tree's registry store, so that a program run
# with XDG_CONFIG_DIRS=${TURVISTA_REGISTRY_DIR} finds them as it would find an
# installed server:
#
#   turvista_register_dde_server(NAME <server name> TARGET <executable target>)
#
# writes HKEY_LOCAL_MACHINE\SOFTWARE\Veltrane\DDE Servers\<server name> with the
# full path of the target's executable as its default value. All servers go into
# one store file, written once every CMakeLists.txt has been read. The store
# layout is described in docs/registry.md.
#
# Installing writes the system's store, <etc>/xdg/Turvista/registry.ini (/etc for
# the prefix /usr, else <prefix>/etc), naming the installed programs in the
# install prefix's bin/ folder.
include_guard(GLOBAL)

set(TURVISTA_REGISTRY_DIR "${CMAKE_BINARY_DIR}/xdg")
set(TURVISTA_REGISTRY_FILE "${TURVISTA_REGISTRY_DIR}/Turvista/registry.ini")

# Escapes a name the way QSettings writes INI keys: letters, digits, '_', '-'
# and '.' stay, every other byte becomes %XX.
function(_turvista_registry_escape out text)
  set(escaped "")
  string(LENGTH "${text}" length)
  if(length GREATER 0)
    math(EXPR last "${length} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${text}" ${i} 1 c)
      if(c MATCHES "^[A-Za-z0-9_.-]$")
        string(APPEND escaped "${c}")
      else()
        string(HEX "${c}" hex)
        string(TOUPPER "${hex}" hex)
        string(APPEND escaped "%${hex}")
      endif()
    endforeach()
  endif()
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()

function(turvista_register_dde_server)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;TARGET" "")
  if(NOT arg_NAME OR NOT arg_TARGET OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "usage: turvista_register_dde_server(NAME <server name> TARGET <executable target>)")
  endif()
  # Printable ASCII only; '\' separates keys and '/' separates groups in the store.
  if(NOT arg_NAME MATCHES "^[ -~]+$" OR arg_NAME MATCHES "[\\\\/;]")
    message(FATAL_ERROR "turvista_register_dde_server: unusable server name '${arg_NAME}'")
  endif()

  string(TOLOWER "${arg_NAME}" folded)
  get_property(registered GLOBAL PROPERTY _TURVISTA_DDE_SERVER_NAMES)
  if(folded IN_LIST registered)
    message(FATAL_ERROR "turvista_register_dde_server: '${arg_NAME}' is registered twice")
  endif()
  set_property(GLOBAL APPEND PROPERTY _TURVISTA_DDE_SERVER_NAMES "${folded}")
  set_property(GLOBAL APPEND PROPERTY _TURVISTA_DDE_SERVERS "${arg_NAME}")
  set_property(GLOBAL PROPERTY "_TURVISTA_DDE_SERVER_TARGET_${arg_NAME}" "${arg_TARGET}")

  get_property(scheduled GLOBAL PROPERTY _TURVISTA_REGISTRY_SCHEDULED)
  if(NOT scheduled)
    set_property(GLOBAL PROPERTY _TURVISTA_REGISTRY_SCHEDULED TRUE)
    cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL _turvista_write_registry_store)
  endif()
endfunction()

function(_turvista_write_registry_store)
  if(CMAKE_BINARY_DIR MATCHES "[\"\\\\]")
    message(WARNING "The build folder's path contains '\"' or '\\'; "
                    "the registry store cannot hold the server paths correctly.")
  endif()
  set(content "[SOFTWARE]\n")
  set(installed "[SOFTWARE]\n")
  get_property(servers GLOBAL PROPERTY _TURVISTA_DDE_SERVERS)
  foreach(name IN LISTS servers)
    get_property(target GLOBAL PROPERTY "_TURVISTA_DDE_SERVER_TARGET_${name}")
    if(NOT TARGET "${target}")
      message(FATAL_ERROR "turvista_register_dde_server: '${target}' is not a target")
    endif()
    _turvista_registry_escape(key "${name}")
    # Quoted, so that commas and blanks in the path stay part of the one value.
    string(APPEND content "Veltrane\\DDE%20Servers\\${key}\\Default=\"$<TARGET_FILE:${target}>\"\n")
    string(APPEND installed "Veltrane\\DDE%20Servers\\${key}\\Default=\"@BIN@/$<TARGET_FILE_NAME:${target}>\"\n")
  endforeach()
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/xdg/Turvista/registry.ini" CONTENT "${content}")

  # Written at install time, so that it follows the prefix given then.
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/installed-registry.ini" CONTENT "${installed}")
  include(GNUInstallDirs)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(_etc /etc)
    else()
      set(_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
    endif()
    file(READ \"${CMAKE_BINARY_DIR}/installed-registry.ini\" _store)
    string(REPLACE @BIN@ \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" _store \"\${_store}\")
    set(_file \"\$ENV{DESTDIR}\${_etc}/xdg/Turvista/registry.ini\")
    message(STATUS \"Installing: \${_file}\")
    file(WRITE \"\${_file}\" \"\${_store}\")
  ")
endfunction()
