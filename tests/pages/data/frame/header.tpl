<html><body><h1>{title}</h1></body></html>
