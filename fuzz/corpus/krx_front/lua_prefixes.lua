_Init()
lua_Open(1)
Other_Thing()
Other_More(2)
lua_prefixes_x = 1
