<!DOCTYPE html>
<html>
<head><meta charset="{charset}"><title>{title}</title></head>
<body>
<iframe src="header.html" name="headerFrame"></iframe>
<iframe src="LeftPanel.html" name="leftFrame"></iframe>
<iframe src="{frame_content_file}" name="mainFrame"></iframe>
</body>
</html>
