a--b is a comment
x = 10 -- so is the rest of this line
y = x--1
