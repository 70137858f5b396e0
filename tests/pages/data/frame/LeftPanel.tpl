<html><body><ul><li><a href="HelpContent.html" rel="#iframe">Contents</a></li>{index_link}{search_link}</ul></body></html>
