# Database access: the client layer over the Firebird client library, the
# shared connection test and the alias lookup.
add_library(orvanto_db STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Database.h ${CMAKE_CURRENT_LIST_DIR}/Database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FbClient.h ${CMAKE_CURRENT_LIST_DIR}/FbClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Conexao.h ${CMAKE_CURRENT_LIST_DIR}/Conexao.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Alias.h ${CMAKE_CURRENT_LIST_DIR}/Alias.cpp
)
target_include_directories(orvanto_db PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvanto_db PUBLIC orvanto_settings orvanto_ui Qt6::Core PRIVATE ${CMAKE_DL_LIBS})
