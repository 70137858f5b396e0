<html><head><script>[#tree_ids#]
function initTree(id) {}</script></head>
<body><ul>[#content_tree#]</ul></body></html>
